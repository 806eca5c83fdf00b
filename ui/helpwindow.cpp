#include "ui/helpwindow.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScreen>
#include <QSplitter>
#include <QStyle>
#include <QTextBlock>
#include <QTextDocument>

#include "ui/help.h"
#include "ui/messages.h"

namespace dw::ui {

namespace {

constexpr int kPageRole = Qt::UserRole;

// The file name a link or source names, without its entry.
QString PageOf(const QUrl& url) { return QFileInfo(url.path()).fileName(); }

}  // namespace

THelpWindow::THelpWindow(const QString& folder, QWidget* parent)
    : QMainWindow(parent), folder_(folder) {
  setObjectName("HelpWindow");
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(CurrentApplicationTitle() + " Help");

  browser_ = new QTextBrowser;
  browser_->setObjectName("HelpBrowser");
  browser_->setSearchPaths({folder_});
  browser_->setOpenExternalLinks(true);
  contents_ = new QListWidget;
  contents_->setObjectName("HelpContents");
  auto* split = new QSplitter;
  split->addWidget(contents_);
  split->addWidget(browser_);
  split->setStretchFactor(1, 1);
  setCentralWidget(split);

  QToolBar* bar = addToolBar("Navigation");
  bar->setObjectName("HelpNavigation");
  bar->setMovable(false);
  bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  home_ = bar->addAction(style()->standardIcon(QStyle::SP_DirHomeIcon), "&Contents");
  home_->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Home));
  back_ = bar->addAction(style()->standardIcon(QStyle::SP_ArrowBack), "&Back");
  back_->setShortcut(QKeySequence::Back);
  forward_ = bar->addAction(style()->standardIcon(QStyle::SP_ArrowForward), "&Forward");
  forward_->setShortcut(QKeySequence::Forward);
  back_->setEnabled(false);
  forward_->setEnabled(false);
  auto* zoomIn = new QAction(this);
  zoomIn->setShortcut(QKeySequence::ZoomIn);
  auto* zoomOut = new QAction(this);
  zoomOut->setShortcut(QKeySequence::ZoomOut);
  addAction(zoomIn);
  addAction(zoomOut);

  connect(home_, &QAction::triggered, browser_, &QTextBrowser::home);
  connect(back_, &QAction::triggered, browser_, &QTextBrowser::backward);
  connect(forward_, &QAction::triggered, browser_, &QTextBrowser::forward);
  connect(zoomIn, &QAction::triggered, browser_, [this] { browser_->zoomIn(1); });
  connect(zoomOut, &QAction::triggered, browser_, [this] { browser_->zoomOut(1); });
  connect(browser_, &QTextBrowser::backwardAvailable, back_, &QAction::setEnabled);
  connect(browser_, &QTextBrowser::forwardAvailable, forward_, &QAction::setEnabled);
  connect(browser_, &QTextBrowser::sourceChanged, this, &THelpWindow::PageChanged);
  connect(contents_, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
    browser_->setSource(QUrl::fromLocalFile(QDir(folder_).filePath(item->data(kPageRole).toString())));
  });
  connect(contents_, &QListWidget::itemClicked, contents_, &QListWidget::itemActivated);

  FillContents();
  // The contents page first, so "Contents" (home) always leads back to it.
  browser_->setSource(QUrl::fromLocalFile(QDir(folder_).filePath(HelpFileName())));

  // About 70 characters of text beside the contents, within the screen.
  const int em = fontMetrics().averageCharWidth();
  QSize size(em * 105, fontMetrics().height() * 40);
  if (const QScreen* display = screen()) size = size.boundedTo(display->availableGeometry().size() * 9 / 10);
  resize(size);
  split->setSizes({em * 32, size.width() - em * 32});
}

void THelpWindow::FillContents() {
  QFile file(QDir(folder_).filePath(HelpFileName()));
  if (!file.open(QIODevice::ReadOnly)) return;
  QTextDocument index;
  index.setHtml(QString::fromUtf8(file.readAll()));
  auto* home = new QListWidgetItem(index.metaInformation(QTextDocument::DocumentTitle), contents_);
  home->setData(kPageRole, HelpFileName());
  for (QTextBlock block = index.begin(); block.isValid(); block = block.next())
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextFragment fragment = it.fragment();
      const QUrl link(fragment.charFormat().anchorHref());
      if (link.isEmpty() || !link.scheme().isEmpty() || link.hasFragment()) continue;
      const QString page = PageOf(link);
      bool listed = page.isEmpty();
      for (int i = 0; i < contents_->count() && !listed; ++i)
        listed = contents_->item(i)->data(kPageRole).toString() == page;
      if (listed) continue;
      auto* item = new QListWidgetItem(fragment.text().trimmed(), contents_);
      item->setData(kPageRole, page);
    }
}

void THelpWindow::ShowPage(const QUrl& page) {
  if (browser_->source() != page)
    browser_->setSource(page);
  else if (page.hasFragment())
    browser_->scrollToAnchor(page.fragment());  // scrolled away since
  show();
  raise();
  activateWindow();
}

void THelpWindow::PageChanged(const QUrl& url) {
  const QString title = browser_->documentTitle();
  setWindowTitle(CurrentApplicationTitle() + " Help" + (title.isEmpty() ? QString() : " - " + title));
  const QString page = PageOf(url);
  for (int i = 0; i < contents_->count(); ++i)
    if (contents_->item(i)->data(kPageRole).toString() == page) {
      contents_->setCurrentRow(i);
      return;
    }
  contents_->clearSelection();
}

}  // namespace dw::ui
