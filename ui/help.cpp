#include "ui/help.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include "ui/messages.h"

namespace dw::ui {

namespace {

QString& Name() {
  static QString name;
  return name;
}

std::function<bool(const QString&)>& Opener() {
  static std::function<bool(const QString&)> opener;
  return opener;
}

}  // namespace

void SetHelpFileName(const QString& name) { Name() = name; }
const QString& HelpFileName() { return Name(); }

QString FindHelpFile() {
  if (Name().isEmpty()) return {};
  const QString candidates[] = {QDir(QCoreApplication::applicationDirPath()).filePath(Name()),
                                QDir::current().filePath(Name())};
  for (const QString& path : candidates)
    if (QFileInfo(path).isFile()) return QFileInfo(path).absoluteFilePath();
  return {};
}

void ShowHelpContents() {
  const QString path = FindHelpFile();
  bool opened = false;
  if (!path.isEmpty())
    opened = Opener() ? Opener()(path) : QDesktopServices::openUrl(QUrl::fromLocalFile(path));
  if (path.isEmpty())
    ShowInfoMessage(("Cannot find the help file " + Name()).toStdString());
  else if (!opened)
    ShowInfoMessage(("Cannot open the help file " + path).toStdString());
}

void SetHelpOpener(std::function<bool(const QString&)> opener) { Opener() = std::move(opener); }

void QuitHelp() {}

}  // namespace dw::ui
