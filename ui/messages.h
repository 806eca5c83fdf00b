#pragma once
// The program's pop-ups: the information dialog through which a run reports,
// the error box for any error that escapes an event handler, and the system
// beep of refused keystrokes. Captions are the application's title.
#include <QDialog>
#include <QString>
#include <QWidget>
#include <functional>
#include <string>
#include <string_view>

namespace dw::ui {

// The title computed at start-up from the program file's name.
void SetApplicationTitle(const QString& title);
const QString& CurrentApplicationTitle();

// The system's default beep; tests count beeps through the hook.
void Beep();
void SetBeepHook(std::function<void()> hook);

// The information dialog: one word-wrapped message and an "OK" button that is
// both default and cancel. Built for each message, modal, centred.
class TMessageForm : public QDialog {
  Q_OBJECT
 public:
  explicit TMessageForm(const QString& text, QWidget* parent = nullptr);
  QString MessageText() const { return text_; }

 private:
  QString text_;
};

// Shows the dialog and returns when the user has closed it. Line ends may
// be CR LF.
void ShowInfoMessage(std::string_view text);

// A note or warning the user should weigh (not an error): the warning icon,
// centred on the window.
void ShowWarningMessage(std::string_view text);

// The stop box for an error message (ErrorBoxText: a full stop added after a
// last character that sorts after "."); modal, then the program goes on.
void ShowErrorBox(std::string_view message);

}  // namespace dw::ui
