#include "gui-qt/HelpWindow.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace pasavel {

namespace {

QString pageOf(HelpTopic topic)
{
    switch (topic) {
    case HelpTopic::mainWindow:
        return QStringLiteral("topic1.html");
    case HelpTopic::frameDialog:
        return QStringLiteral("topic3.html");
    case HelpTopic::contents:
        break;
    }
    return QStringLiteral("index.html");
}

QString toQString(const std::filesystem::path& path)
{
    return QString::fromStdU16String(path.generic_u16string());
}

} // namespace

std::filesystem::path helpFolder(const std::filesystem::path& programDirectory)
{
    return programDirectory / "RAICES";
}

HelpWindow::HelpWindow(const std::filesystem::path& folder, QWidget* owner)
    : QWidget(owner, Qt::Window), m_folder(toQString(folder)), m_browser(new QTextBrowser(this))
{
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(QStringLiteral("Ayuda de Pasavel"));
    resize(640, 520);

    auto* contentsButton = new QPushButton(QStringLiteral("&Contenido"), this);
    auto* backButton = new QPushButton(QStringLiteral("&Atrás"), this);
    auto* forwardButton = new QPushButton(QStringLiteral("A&delante"), this);
    backButton->setEnabled(false);
    forwardButton->setEnabled(false);
    connect(contentsButton, &QPushButton::clicked, this, &HelpWindow::onContentsClicked);
    connect(backButton, &QPushButton::clicked, m_browser, &QTextBrowser::backward);
    connect(forwardButton, &QPushButton::clicked, m_browser, &QTextBrowser::forward);
    connect(m_browser, &QTextBrowser::backwardAvailable, backButton, &QPushButton::setEnabled);
    connect(m_browser, &QTextBrowser::forwardAvailable, forwardButton, &QPushButton::setEnabled);

    m_browser->setObjectName(QStringLiteral("HelpBrowser"));
    m_browser->setSearchPaths({m_folder});
    m_browser->setOpenLinks(true);
    m_browser->setOpenExternalLinks(false);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(contentsButton);
    buttons->addWidget(backButton);
    buttons->addWidget(forwardButton);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(m_browser);
}

void HelpWindow::showTopic(HelpTopic topic)
{
    const QString page = QDir(m_folder).filePath(pageOf(topic));
    if (!QFileInfo::exists(page)) {
        m_browser->setHtml(QStringLiteral("<h2>Ayuda no disponible</h2><p>No se encuentra la página de ayuda "
                                          "«%1». Las páginas de ayuda deben estar en la carpeta RAICES junto "
                                          "al programa.</p>")
                               .arg(page.toHtmlEscaped()));
        return;
    }
    m_browser->setSource(QUrl::fromLocalFile(page));
}

void HelpWindow::onContentsClicked()
{
    showTopic(HelpTopic::contents);
}

} // namespace pasavel
