#pragma once
// Watches for the program's dialogs while a test drives the window: each
// information dialog, error box and question is recorded and closed (OK, or
// the answer given), the run's progress dialog is counted and cancelled when
// asked to, and `onProgress` runs once while it shows.
#include <QApplication>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <vector>

#include "ui/messages.h"

struct SeenDialog {
  enum Kind { Info, Error, Question } kind;
  QString caption;
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
};

class DialogWatcher : public QObject {
 public:
  explicit DialogWatcher(bool cancelProgress = false) : cancelProgress_(cancelProgress) {
    Start();
  }
  // The button a question is answered with.
  QMessageBox::StandardButton answer = QMessageBox::No;
  // Runs once, the first time the progress dialog shows 3 simulations done.
  std::function<void()> onProgress;

 private:
  void Start() {
    timer_.setInterval(5);
    connect(&timer_, &QTimer::timeout, this, &DialogWatcher::Look);
    timer_.start();
  }

 public:
  std::vector<SeenDialog> seen;
  int progressDialogsSeen = 0;

 private:
  void Look() {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal && modal->isVisible()) {
      if (auto* info = qobject_cast<dw::ui::TMessageForm*>(modal)) {
        seen.push_back({SeenDialog::Info, info->windowTitle(), info->MessageText()});
        QTest::keyClick(info, Qt::Key_Return);
      } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        const bool question = box->icon() == QMessageBox::Question;
        seen.push_back({question ? SeenDialog::Question : SeenDialog::Error, box->windowTitle(),
                        box->text(), box->icon()});
        box->button(question ? answer : QMessageBox::Ok)->click();
      }
      return;
    }
    // The run's progress dialog is not modal: the window under it must still
    // hear the window system's close request.
    for (QWidget* top : QApplication::topLevelWidgets()) {
      auto* progress = qobject_cast<QProgressDialog*>(top);
      if (!progress || !progress->isVisible() || progress->objectName() != "RunProgress") continue;
      if (!counted_.contains(progress)) {
        counted_.push_back(progress);
        ++progressDialogsSeen;
      }
      if (progress->value() < 3) continue;
      if (onProgress) {
        auto once = std::move(onProgress);
        onProgress = nullptr;
        once();
      }
      if (cancelProgress_) {
        if (auto* cancel = progress->findChild<QPushButton*>())
          cancel->click();
        else
          progress->cancel();
      }
    }
  }
  bool cancelProgress_;
  QList<QObject*> counted_;
  QTimer timer_;
};
