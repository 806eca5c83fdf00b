#include "ui/help.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QStandardPaths>
#include <QUrl>

#include "ui/helpwindow.h"
#include "ui/messages.h"

namespace dw::ui {

namespace {

constexpr const char* kTopicProperty = "driftwiseHelpTopic";
constexpr const char* kHelpSubfolder = "doc/driftwise/html";

QString& Name() {
  static QString name;
  return name;
}

QStringList& SearchPathOverride() {
  static QStringList folders;
  return folders;
}

QPointer<THelpWindow>& Window() {
  static QPointer<THelpWindow> window;
  return window;
}

}  // namespace

void SetHelpFileName(const QString& name) { Name() = name; }
const QString& HelpFileName() { return Name(); }

QStringList HelpSearchPath() {
  if (!SearchPathOverride().isEmpty()) return SearchPathOverride();
  // The program sits in <prefix>/bin when installed and in <build>/app when
  // run from the build tree, which holds a copy of the pages in
  // <build>/share; either way ../share is the place.
  QStringList folders{
      QDir::cleanPath(QCoreApplication::applicationDirPath() + "/../share/" + kHelpSubfolder)};
  for (const QString& data : QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation)) {
    const QString folder = QDir::cleanPath(data + "/" + kHelpSubfolder);
    if (!folders.contains(folder)) folders << folder;
  }
  return folders;
}

void SetHelpSearchPath(const QStringList& folders) { SearchPathOverride() = folders; }

QString FindHelpFolder() {
  if (Name().isEmpty()) return {};
  for (const QString& folder : HelpSearchPath())
    if (QFileInfo(QDir(folder).filePath(Name())).isFile()) return folder;
  return {};
}

void ShowHelpTopic(const QString& topic) {
  const QString folder = FindHelpFolder();
  if (folder.isEmpty()) {
    const QString expected = QDir(HelpSearchPath().value(0)).filePath(Name());
    ShowInfoMessage(("Cannot find the help file " + QDir::toNativeSeparators(expected)).toStdString());
    return;
  }
  const QString page = topic.isEmpty() ? Name() : topic;
  QUrl url = QUrl::fromLocalFile(QDir(folder).filePath(page.section('#', 0, 0)));
  if (page.contains('#')) url.setFragment(page.section('#', 1));
  if (!Window()) Window() = new THelpWindow(folder);
  Window()->ShowPage(url);
}

void ShowHelpContents() { ShowHelpTopic({}); }

void SetHelpTopic(QWidget* control, const QString& topic) {
  control->setProperty(kTopicProperty, topic);
}

QString HelpTopicOf(const QWidget* control) {
  for (const QWidget* w = control; w; w = w->parentWidget()) {
    const QString topic = w->property(kTopicProperty).toString();
    if (!topic.isEmpty()) return topic;
  }
  return {};
}

QWidget* HelpWindow() { return Window(); }

void QuitHelp() {
  if (Window()) delete Window().data();
}

}  // namespace dw::ui
