#pragma once
// A timer with the program's semantics: setting Enabled or Interval to a
// different value restarts a full interval; setting the value it already has
// changes nothing. Ticks run through the error guard.

#include <QObject>
#include <QTimer>

#include <functional>

namespace tavelo {

class TTimer : public QObject {
    Q_OBJECT
public:
    explicit TTimer(int interval, bool enabled, QObject* parent = nullptr);

    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    int Interval() const { return interval_; }
    void SetInterval(int ms);
    // Binding a handler restarts the timer, as any change does.
    void SetOnTimer(std::function<void()> handler);

    // While held, a tick that falls due is kept back; releasing the hold
    // delivers one kept tick at the next idle moment.
    void SetHold(bool hold);

    bool Running() const { return timer_.isActive(); }
    int RemainingTime() const { return timer_.remainingTime(); }

private:
    void Update();
    void Tick();

    QTimer timer_;
    int interval_;
    bool enabled_;
    bool inTick_ = false;
    bool held_ = false;
    bool tickKept_ = false;
    std::function<void()> onTimer_;
};

}  // namespace tavelo
