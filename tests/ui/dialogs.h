#pragma once
// Watches for the program's modal dialogs while a test drives the window:
// each information dialog and error box is recorded and closed with OK, a
// progress dialog is cancelled when asked to.
#include <QApplication>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <vector>

#include "ui/messages.h"

struct SeenDialog {
  enum Kind { Info, Error } kind;
  QString caption;
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
};

class DialogWatcher : public QObject {
 public:
  explicit DialogWatcher(bool cancelProgress = false) : cancelProgress_(cancelProgress) {
    timer_.setInterval(5);
    connect(&timer_, &QTimer::timeout, this, &DialogWatcher::Look);
    timer_.start();
  }
  std::vector<SeenDialog> seen;
  int progressDialogsSeen = 0;

 private:
  void Look() {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible()) return;
    if (auto* info = qobject_cast<dw::ui::TMessageForm*>(modal)) {
      seen.push_back({SeenDialog::Info, info->windowTitle(), info->MessageText()});
      QTest::keyClick(info, Qt::Key_Return);
    } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
      seen.push_back({SeenDialog::Error, box->windowTitle(), box->text(), box->icon()});
      box->button(QMessageBox::Ok)->click();
    } else if (auto* progress = qobject_cast<QProgressDialog*>(modal)) {
      if (progress->objectName() == "RunProgress" && !counted_.contains(progress)) {
        counted_.push_back(progress);
        ++progressDialogsSeen;
      }
      if (cancelProgress_ && progress->value() >= 3) {
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
