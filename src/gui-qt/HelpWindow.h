#pragma once

#include <QWidget>

#include <filesystem>

class QTextBrowser;

namespace pasavel {

// The pages of the program's help, kept under the name RAICES beside the
// executable. The numbers are the help contexts the windows carry.
enum class HelpTopic {
    contents,        // index.html
    mainWindow = 1,  // topic1.html: the main window and both directions
    frameDialog = 3, // topic3.html: the time-frame dialog
};

// The folder of the help pages for a program installed in this folder.
std::filesystem::path helpFolder(const std::filesystem::path& programDirectory);

// A plain browser over the help pages, with the links between them.
class HelpWindow : public QWidget {
    Q_OBJECT
  public:
    HelpWindow(const std::filesystem::path& folder, QWidget* owner);

    void showTopic(HelpTopic topic);
    QTextBrowser* browser() const { return m_browser; }

  private slots:
    void onContentsClicked();

  private:
    QString m_folder;
    QTextBrowser* m_browser;
};

} // namespace pasavel
