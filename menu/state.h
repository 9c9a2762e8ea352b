#pragma once
// The program's state: flags, counters and saved roots, all starting at 0 or
// empty. One plain struct owned by the window, so tests can build several.

#include <QImage>
#include <QString>

#include <memory>

namespace tavelo {

class TJPEGImage;

struct TProgramState {
    QString BaseDir;

    // Slide show
    int SlideIndex = 0;
    int SlideEntryCount = 0;
    QString SavedListRoot;
    std::shared_ptr<TJPEGImage> StartJpeg;
    QImage FirstSlideBitmap;

    // Song catalogue and playback
    int SoundEntryCount = 0;
    QString SoundRoot;
    int AlbumIndex = 0;
    int SongsBefore = 0;
    int AlbumSongCount = 0;
    QString SongPath;

    // Menu flags: 1 exactly while the section's button is highlighted.
    int SlidesActive = 0;
    int LyricsActive = 0;
    int GroupActive = 0;
    int DiscActive = 0;
    int PlayerActive = 0;
    int HelpActive = 0;

    // Page flags.
    int SlideControlsShown = 0;
    int LyricsShown = 0;
    int GroupPageShown = 0;
    int DiscTextShown = 0;
    int HelpTextShown = 0;
    int PlayerPageShown = 0;
    int AutoShowOn = 0;
};

}  // namespace tavelo
