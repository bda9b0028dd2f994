#pragma once

#include <QIcon>
#include <QImage>
#include <QList>

// The main window's pictures, drawn once at start.

// Tray and state icons: 4 not logged in, 5 online, 6 offline, 7 in conference.
QList<QIcon> MakeStateImages();
// Network quality 0 (worst) to 4 (best), 5 idle; 32 x 20.
QList<QIcon> MakeQualityImages();
// A user's status: 0 offline, 1 online, 2 in conference, 3 multicasting,
// 4 broadcasting, 5 owns a group conference.
QList<QIcon> MakeStatusImages();
// The address book's state images: 0 offline, 1 online, 2 busy, 3 unknown,
// 4 multicasting, 5 owns a group conference; 6 and 7 the fold button's
// "fold in" and "fold out" glyphs.
QList<QIcon> MakeUserStatusImages();
// Media buttons: 0 speaker on, 1 speaker muted, 2 video on, 3 video off,
// 4 microphone on, 5 microphone off.
QList<QIcon> MakeButtonImages();

// Glyphs of the buttons on the video panel; the top-left colour is cut out.
QImage SelfViewGlyph(); // 24 x 18
QImage RecordGlyph();   // 32 x 32
