#pragma once
// The help window: the help pages in a browser with a list of contents,
// back and forward, and links to other pages followed in place (links to
// the web open in the desktop's browser).
#include <QListWidget>
#include <QMainWindow>
#include <QTextBrowser>
#include <QToolBar>
#include <QUrl>

namespace dw::ui {

class THelpWindow : public QMainWindow {
  Q_OBJECT
 public:
  // `folder` holds the pages, the contents page among them.
  explicit THelpWindow(const QString& folder, QWidget* parent = nullptr);

  // Shows `page` (a file of the folder, perhaps with an entry as fragment)
  // and brings the window to the front.
  void ShowPage(const QUrl& page);

  QTextBrowser* Browser() const { return browser_; }
  QListWidget* Contents() const { return contents_; }
  QAction* HomeAction() const { return home_; }
  QAction* BackAction() const { return back_; }
  QAction* ForwardAction() const { return forward_; }

 private:
  // The contents: the pages the contents page links to, in its order.
  void FillContents();
  void PageChanged(const QUrl& url);

  QString folder_;
  QTextBrowser* browser_;
  QListWidget* contents_;
  QAction* home_;
  QAction* back_;
  QAction* forward_;
};

}  // namespace dw::ui
