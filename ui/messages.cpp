#include "ui/messages.h"

#include <QApplication>
#include <QMainWindow>
#include <QFontMetrics>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <algorithm>
#include <cmath>

#include "chart/chart.h"
#include "runtime/messages.h"

namespace dw::ui {

namespace {

QString& Title() {
  static QString title;
  return title;
}

std::function<void()>& BeepHook() {
  static std::function<void()> hook;
  return hook;
}

constexpr int kMessageFlags = Qt::TextWordWrap | Qt::TextExpandTabs | Qt::AlignLeft | Qt::AlignTop;

// The message drawn with exactly the flags it was measured with, so the
// measured box always holds it.
class MessageBody : public QWidget {
 public:
  MessageBody(const QString& text, QWidget* parent) : QWidget(parent), text_(text) {}

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setPen(palette().windowText().color());
    p.drawText(rect(), kMessageFlags, text_);
  }

 private:
  QString text_;
};

// a × b / c rounded to nearest.

QWidget* ActiveOwner() {
  if (QWidget* modal = QApplication::activeModalWidget()) return modal;
  if (QWidget* active = QApplication::activeWindow()) return active;
  // Between a closed progress dialog and the next activation no window is
  // active: the program's main window still owns the message.
  for (QWidget* top : QApplication::topLevelWidgets())
    if (top->isVisible() && qobject_cast<QMainWindow*>(top)) return top;
  return nullptr;
}

}  // namespace

void SetApplicationTitle(const QString& title) { Title() = title; }
const QString& CurrentApplicationTitle() { return Title(); }

void Beep() {
  if (BeepHook())
    BeepHook()();
  else
    QApplication::beep();
}

void SetBeepHook(std::function<void()> hook) { BeepHook() = std::move(hook); }

TMessageForm::TMessageForm(const QString& text, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      text_(text) {
  setWindowTitle(CurrentApplicationTitle());
  setModal(true);
  setFont(QApplication::font("QMessageBox"));
  const QFontMetrics fm(font());

  static const QString kAlphabet =
      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  const int w = fm.horizontalAdvance(kAlphabet) / 52;
  const int h = fm.height();
  const int hMargin = chart::MulDiv(8, w, 4);
  const int vMargin = chart::MulDiv(8, h, 8);
  const int vSpacing = chart::MulDiv(10, h, 8);
  const int buttonHeight = chart::MulDiv(14, h, 8);
  const int buttonWidth = std::max(chart::MulDiv(50, w, 4), fm.horizontalAdvance("OK") + 8);

  QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
  const QRect screenRect = screen ? screen->geometry() : QRect(0, 0, 1024, 768);
  const QRect textRect =
      fm.boundingRect(QRect(0, 0, screenRect.width() / 2, 0), kMessageFlags, text_);
  const int tw = textRect.width();
  const int th = textRect.height();

  const int clientWidth = std::max(tw, buttonWidth) + 2 * hMargin;
  const int clientHeight = th + buttonHeight + vSpacing + 2 * vMargin;

  auto* message = new MessageBody(text_, this);
  message->setObjectName("Message");
  message->setGeometry(hMargin, vMargin, tw, th);

  auto* ok = new QPushButton("OK", this);
  ok->setObjectName("OK");
  ok->setDefault(true);
  ok->setGeometry((clientWidth - buttonWidth) / 2, th + vMargin + vSpacing, buttonWidth,
                  buttonHeight);
  // Enter (default), Esc (reject) and a click all close the dialog.
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);

  setFixedSize(clientWidth, clientHeight);
  // Over the window it reports for, as the error boxes are; the screen's
  // centre only when there is none.
  const QPoint centre = parent ? parent->window()->frameGeometry().center() : screenRect.center();
  move(centre - QPoint(clientWidth / 2, clientHeight / 2));
}

void ShowInfoMessage(std::string_view text) {
  QString shown = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  TMessageForm form(shown, ActiveOwner());
  form.exec();
}

void ShowWarningMessage(std::string_view text) {
  QString shown = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  QMessageBox box(QMessageBox::Warning, CurrentApplicationTitle(), shown.trimmed(), QMessageBox::Ok,
                  ActiveOwner());
  box.setObjectName("Warning");
  box.exec();
}

void ShowErrorBox(std::string_view message) {
  const std::string text = ErrorBoxText(message);
  QMessageBox box(QMessageBox::Critical, CurrentApplicationTitle(), QString::fromStdString(text),
                  QMessageBox::Ok, ActiveOwner());
  box.exec();
}

}  // namespace dw::ui
