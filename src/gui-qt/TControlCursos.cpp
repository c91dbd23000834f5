#include "gui-qt/TControlCursos.h"

#include "dialogs/Cursos.h"
#include "gui-qt/CursosGrid.h"
#include "gui-qt/GradientPanel.h"
#include "gui-qt/WindowLook.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QStyle>

#include <optional>
#include <vector>

namespace pasavel {

namespace {

const QColor panelStart(0xF0, 0xCA, 0xA6);

constexpr int formWidth = 686;
constexpr int formHeight = 499;

// A label of the right-hand column. A width of 0 sizes the label to its one
// line; any other width wraps the text within it.
struct LabelLook {
    const char* name;
    QPoint position;
    int width;
    const char* text;
    QColor colour;
    std::optional<QColor> background;
    bool underlined;
    bool centred;
};

const std::vector<LabelLook>& rightColumnLabels()
{
    using namespace colours;
    // clang-format off
    static const std::vector<LabelLook> labels = {
        {"Label3", {468, 56}, 216, "INCIDENCIAS EN EL TRASPASO", white, std::nullopt, true, true},
        {"Label2", {473, 72}, 211,
         "Se ha detectado que falta por indicar algún NIVEL  o CURSO. Complete el/los datos que falten, para "
         "poder concluir el proceso, antes de Salir.",
         red, yellow, false, false},
        {"Label4", {471, 140}, 0, "¡ IMPORTANTE !", blue, std::nullopt, true, false},
        {"Label5", {472, 156}, 212,
         "Las Abreviaturas de sus Grupos (Unidades), se formarán, en función del NIVEL y CURSO, "
         "del siguiente modo: ",
         maroon, std::nullopt, false, false},
        {"Label6", {472, 207}, 212, "Por ejemplo, NIVEL=ESO y CURSO=1 daría como resultado",
         blue, std::nullopt, false, false},
        {"Label10", {473, 244}, 0, "Abreviatura del Grupo = ESO1A", fuchsia, std::nullopt, true, false},
        {"Label7", {472, 257}, 212,
         "y así secuencialmente para el resto de Grupos del mismo NIVEL y CURSO, ESO1B, ESO1C.",
         purple, std::nullopt, false, false},
        {"Label11", {462, 300}, 222,
         "Ejemplos de Niveles: BCT=Bach.C.T., BHC=Bach.Hum., BT=Bach.Tecnol., LS=Leng.Signos, "
         "GAD=Gest.Admin., EDSO=ESO Diversificación, etc...",
         maroon, white, false, false},
        {"Label9", {462, 354}, 222,
         "Luego es de vital IMPORTANCIA que para cada NIVEL sus 5 Primeros caracteres sean DISTINTOS.",
         red, skyBlue, true, false},
        {"Label8", {479, 450}, 186,
         "¡ Atención ! Si fuerza la Salida, los Datos recogidos serán INCOHERENTES.",
         red, yellow, false, true},
    };
    // clang-format on
    return labels;
}

QLabel* addLabel(QWidget* panel, const LabelLook& look)
{
    auto* label = new QLabel(QString::fromUtf8(look.text), panel);
    label->setObjectName(QLatin1String(look.name));
    label->setTextFormat(Qt::PlainText);
    QFont font = label->font();
    font.setBold(true);
    font.setUnderline(look.underlined);
    label->setFont(font);
    if (look.background)
        setTextColours(label, look.colour, *look.background);
    else
        setTextColour(label, look.colour);
    label->setAlignment((look.centred ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignTop);
    label->move(look.position);
    if (look.width == 0) {
        label->adjustSize();
    } else {
        label->setWordWrap(true);
        label->resize(look.width, label->heightForWidth(look.width));
    }
    return label;
}

} // namespace

TControlCursos::TControlCursos(Cursos& logic, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                         Qt::MSWindowsFixedSizeDialogHint),
      m_logic(logic)
{
    buildWindow();
    centreOnScreen(this);
}

TControlCursos::~TControlCursos() = default;

void TControlCursos::buildWindow()
{
    setObjectName(QStringLiteral("ControlCursos"));
    setWindowTitle(QStringLiteral("Asignación de Niveles y Cursos"));
    setFont(windowFont());
    setFixedSize(formWidth, formHeight);

    auto* panel = new GradientPanel(panelStart, colours::white, colours::red, this);
    panel->setObjectName(QStringLiteral("Draw3D1"));
    panel->setGeometry(0, 0, formWidth, formHeight);
    buildTitleAndNavigator(panel);

    m_grid = new CursosGrid(
        m_logic, [this](const std::function<void()>& action) { return guarded(action); }, panel);
    m_grid->setObjectName(QStringLiteral("CursosTDBGrid"));
    m_grid->setGeometry(3, 56, 454, 433);
    connect(m_grid, &CursosGrid::logicChanged, this, &TControlCursos::showLogicState);

    buildRightColumn(panel);

    auto* helpKey = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(helpKey, &QShortcut::activated, this, &TControlCursos::helpRequested);
    showLogicState();
}

void TControlCursos::buildTitleAndNavigator(QWidget* panel)
{
    auto* title = new QLabel(QStringLiteral("ASIGNACIÓN DE NIVELES Y CURSOS"), panel);
    title->setObjectName(QStringLiteral("Label1"));
    QFont titleFont = title->font();
    titleFont.setPointSize(12);
    titleFont.setBold(true);
    titleFont.setUnderline(true);
    title->setFont(titleFont);
    setTextColour(title, colours::white);
    title->move(86, 5);
    title->adjustSize();

    m_navigator = new RecordNavigator(panel);
    m_navigator->setObjectName(QStringLiteral("wwDBNavigator1"));
    m_navigator->setGeometry(105, 29, 275, 24);
    connect(m_navigator, &RecordNavigator::pressed, this, &TControlCursos::onNavigatorPressed);
}

void TControlCursos::buildRightColumn(QWidget* panel)
{
    for (const LabelLook& look : rightColumnLabels()) {
        QLabel* label = addLabel(panel, look);
        const QString name = label->objectName();
        if (name == QLatin1String("Label3"))
            m_incidentsTitle = label;
        else if (name == QLatin1String("Label2"))
            m_incidentsText = label;
        else if (name == QLatin1String("Label8"))
            m_forcedExitWarning = label;
    }

    QFont bold = font();
    bold.setBold(true);
    m_okButton = new QPushButton(QStringLiteral("OK"), panel);
    m_okButton->setObjectName(QStringLiteral("BitBtn1"));
    m_okButton->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton, nullptr, m_okButton));
    m_okButton->setFont(bold);
    m_okButton->setGeometry(519, 397, 89, 25);
    m_okButton->setDefault(true);
    connect(m_okButton, &QPushButton::clicked, this, &TControlCursos::onOkClicked);

    m_forcedExitButton = new QPushButton(QStringLiteral("Forzar Salida Sin Terminar Proceso "), panel);
    m_forcedExitButton->setObjectName(QStringLiteral("BitBtn2"));
    m_forcedExitButton->setFont(bold);
    QPalette redText = m_forcedExitButton->palette();
    redText.setColor(QPalette::ButtonText, colours::red);
    m_forcedExitButton->setPalette(redText);
    m_forcedExitButton->setGeometry(463, 424, 218, 24);
    connect(m_forcedExitButton, &QPushButton::clicked, this, &TControlCursos::onForcedExitClicked);
}

void TControlCursos::rethrowFailure() const
{
    if (m_failure)
        std::rethrow_exception(m_failure);
}

bool TControlCursos::guarded(const std::function<void()>& action)
{
    if (m_failure)
        return false;
    try {
        action();
        return true;
    } catch (...) {
        // Nothing may leave an event handler: the modal loop ends here and
        // the caller raises the failure again.
        m_failure = std::current_exception();
        finish(QDialog::Rejected);
        return false;
    }
}

void TControlCursos::finish(int outcome)
{
    if (m_finished)
        return;
    m_finished = true;
    m_tableOpen = false;
    m_grid->reload();
    showLogicState();
    QDialog::done(outcome);
}

void TControlCursos::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (m_shownBefore)
        return;
    m_shownBefore = true;
    // The question about earlier codings comes with the window already on
    // the screen behind it.
    QMetaObject::invokeMethod(this, &TControlCursos::onFirstShown, Qt::QueuedConnection);
}

void TControlCursos::onFirstShown()
{
    if (m_finished)
        return;
    if (!guarded([this] { m_logic.FormShow(); }))
        return;
    m_tableOpen = true;
    m_grid->setFocus(Qt::OtherFocusReason);
    m_grid->start();
    showLogicState();
}

bool TControlCursos::event(QEvent* event)
{
    // A message of the logic's is about to cover the window: what the logic
    // has just decided to show must already be there behind it.
    if (event->type() == QEvent::WindowBlocked)
        showLogicState();
    return QDialog::event(event);
}

void TControlCursos::keyPressEvent(QKeyEvent* event)
{
    // Escape does not close the dialog: it has no cancel button, and a
    // close without the check is the close box's alone.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TControlCursos::onOkClicked()
{
    if (!m_tableOpen || m_finished)
        return;
    m_grid->commitEditor();
    if (guarded([this] { m_logic.okClick(); }))
        finish(QDialog::Accepted);
}

void TControlCursos::onForcedExitClicked()
{
    if (!m_tableOpen || m_finished)
        return;
    m_grid->commitEditor();
    if (guarded([this] { m_logic.forcedExitClick(); }))
        finish(QDialog::Rejected);
}

void TControlCursos::reject()
{
    // The close box. What was typed stays in CURSOST; nothing is checked.
    if (m_finished)
        return;
    m_grid->commitEditor();
    if (guarded([this] { m_logic.closeBox(); }))
        finish(QDialog::Rejected);
}

void TControlCursos::onNavigatorPressed(RecordNavigator::Button which)
{
    if (!m_tableOpen || m_finished)
        return;
    // The text still in the cell's editor belongs to the record first.
    m_grid->commitEditor();
    if (!guarded([&] { applyNavigatorButton(which); }))
        return;
    if (which == RecordNavigator::Button::refresh)
        m_grid->reload();
    else
        m_grid->showLogicState();
    showLogicState();
}

void TControlCursos::applyNavigatorButton(RecordNavigator::Button which)
{
    using Button = RecordNavigator::Button;
    constexpr std::ptrdiff_t page = 10;
    const auto all = static_cast<std::ptrdiff_t>(m_logic.rowCount());
    switch (which) {
    case Button::first:
        m_logic.moveBy(-all);
        break;
    case Button::backTen:
        m_logic.moveBy(-page);
        break;
    case Button::prior:
        m_logic.moveBy(-1);
        break;
    case Button::next:
        m_logic.moveBy(1);
        break;
    case Button::forwardTen:
        m_logic.moveBy(page);
        break;
    case Button::last:
        m_logic.moveBy(all);
        break;
    case Button::edit:
        m_logic.edit();
        break;
    case Button::post:
        m_logic.post();
        break;
    case Button::cancel:
        m_logic.cancel();
        break;
    case Button::refresh:
        m_logic.refresh();
        break;
    }
}

void TControlCursos::showLogicState()
{
    const bool open = m_tableOpen && !m_finished;
    m_incidentsTitle->setVisible(m_logic.incidentsVisible());
    m_incidentsText->setVisible(m_logic.incidentsVisible());
    m_forcedExitButton->setVisible(m_logic.forcedExitVisible());
    m_forcedExitWarning->setVisible(m_logic.forcedExitVisible());
    m_okButton->setEnabled(open);
    m_forcedExitButton->setEnabled(open);
    const std::size_t rows = open ? m_logic.rowCount() : 0;
    m_navigator->showPosition(open, rows, rows > 0 ? m_logic.currentRow() : 0, open && m_logic.isEditing());
}

} // namespace pasavel
