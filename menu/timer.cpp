#include "menu/timer.h"

#include "base/error_report.h"

namespace tavelo {

TTimer::TTimer(int interval, bool enabled, QObject* parent) : QObject(parent), interval_(interval), enabled_(enabled)
{
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &TTimer::Tick);
}

void TTimer::SetEnabled(bool enabled)
{
    if (enabled == enabled_)
        return;
    enabled_ = enabled;
    Update();
}

void TTimer::SetInterval(int ms)
{
    if (ms == interval_)
        return;
    interval_ = ms;
    Update();
}

void TTimer::SetOnTimer(std::function<void()> handler)
{
    onTimer_ = std::move(handler);
    Update();
}

void TTimer::SetHold(bool hold)
{
    held_ = hold;
    if (hold || !tickKept_)
        return;
    tickKept_ = false;
    QTimer::singleShot(0, this, [this] {
        if (enabled_ && interval_ > 0)
            Tick();
    });
}

void TTimer::Update()
{
    timer_.stop();
    if (enabled_ && interval_ > 0 && onTimer_)
        timer_.start(interval_);
}

void TTimer::Tick()
{
    // A tick never interrupts another tick of the same timer, even when an
    // error box opened by the first one runs its own loop.
    if (inTick_ || !onTimer_)
        return;
    if (held_) {
        tickKept_ = true;
        return;
    }
    inTick_ = true;
    Guarded(onTimer_);
    inTick_ = false;
}

}  // namespace tavelo
