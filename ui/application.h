#pragma once
// Start-up and ending of the window program, the application's hint
// settings, and the one place where an error escaping an event handler is
// caught and shown.
#include <QApplication>
#include <QProxyStyle>

namespace dw::ui {

inline constexpr int kHintPause = 500;        // ms before a hint shows
inline constexpr int kHintHidePause = 2500;   // ms a hint stays
// Hints: shown after 500 ms; while one is showing, the next shows at once
// (the toolkit's own behaviour within its fall-asleep time).
class THintStyle : public QProxyStyle {
 public:
  int styleHint(StyleHint hint, const QStyleOption* option = nullptr,
                const QWidget* widget = nullptr,
                QStyleHintReturn* returnData = nullptr) const override;
};

// The application object: an error that escapes any event handler is shown
// in the error box, and the program goes on. The one place the window
// restores the float mode: before and after every event it delivers.
class TApplication : public QApplication {
 public:
  TApplication(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;
};

// Sets up the title, hints, help file name and number marks of a new
// application object.
void InitialiseApplication(QApplication& app, const char* programPath);

// The window program: start-up, the message loop, the ending. Exit code 0.
int RunWindowProgram(int argc, char** argv);

}  // namespace dw::ui
