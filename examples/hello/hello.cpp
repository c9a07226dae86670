// hello: a window with a picture and a line of Japanese text, on Korvanta's
// media layer. Escape (or closing the window) ends it.
//
//   hello                              in a window on the display
//   hello --headless --script FILE     on the headless desktop, driven by FILE
//
// It loads hello.png from the working folder and writes Log.txt there.
#include <cstdio>
#include <cstring>
#include <string>

#include <korvanta/media.h>

// The library's strings are Shift-JIS. This file does not depend on the
// compiler's execution character set, so the text is spelled out in
// Shift-JIS bytes: "こんにちは、世界" (hello, world).
static const char greeting[] = "\x82\xb1\x82\xf1\x82\xc9\x82\xbf\x82\xcd\x81\x41\x90\xa2\x8a\x45";

int main(int argc, char** argv)
{
    bool headless = false;
    std::string script;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--headless") == 0) {
            headless = true;
        } else if (std::strcmp(argv[i], "--script") == 0 && i + 1 < argc) {
            script = argv[++i];
        } else {
            std::fprintf(stderr, "usage: hello [--headless --script FILE]\n");
            return 2;
        }
    }

    std::string error;
    const bool opened = headless ? korvanta::SelectHeadlessBackend(script, "", &error)
                                 : korvanta::SelectDisplayBackend(&error);
    if (!opened) {
        std::fprintf(stderr, "hello: %s\n", error.c_str());
        return 1;
    }
    korvanta::SetScreenMode(320, 240, 32, 60);
    korvanta::ChangeWindowMode(1);
    korvanta::SetWindowTitle("hello");
    if (korvanta::InitMediaLibrary() != 0) {
        korvanta::CloseBackend();
        return 1;
    }
    korvanta::SetDrawTarget(korvanta::ScreenBack);

    const korvanta::ImageHandle picture = korvanta::LoadImageToHandle("hello.png");
    int pictureWidth = 0, pictureHeight = 0;
    korvanta::GetImageSize(picture, &pictureWidth, &pictureHeight);
    const korvanta::FontHandle font = korvanta::DefaultFontHandle();
    const int textWidth = korvanta::MeasureText(greeting, font, nullptr);
    const korvanta::ColorValue white = korvanta::PackColor(255, 255, 255);
    const korvanta::ColorValue frame = korvanta::PackColor(120, 200, 190);
    korvanta::LogPrintfLine("hello: picture %d x %d, text %d pixels wide", pictureWidth, pictureHeight, textWidth);

    // One frame per vertical blank until Escape is pressed or the window closed.
    while (korvanta::PumpWindowMessages() == 0 && !korvanta::ReadKeyState(korvanta::KeyEscape)) {
        korvanta::ClearDrawTarget(nullptr);
        korvanta::DrawRect(8, 8, 312, 232, frame, 0);
        if (picture != -1)
            korvanta::DrawImage((320 - pictureWidth) / 2, 48, picture, 1);
        korvanta::DrawTextString((320 - textWidth) / 2, 150, greeting, white, 0);
        korvanta::DrawTextString(16, 208, "Esc", frame, 0);
        korvanta::PresentScreen();
    }

    korvanta::EndMediaLibrary();
    korvanta::CloseBackend();
    return 0;
}
