#include "gui-qt/TPlantillas.h"

#include "dialogs/Plantihoras.h"
#include "gui-qt/GradientPanel.h"
#include "gui-qt/WindowLook.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QShortcut>
#include <QStyle>

namespace pasavel {

namespace {

constexpr int formWidth = 371;
constexpr int formHeight = 281;

const QRect selectionHintBox(16, 36, 321, 50);

const QString selectionHint = QStringLiteral("Para seleccionar mas de un Marco Horario, mantenga (Ctrl) "
                                             "pulsado y seleccione cada marco con 1 click del "
                                             "botón izquierdo del ratón.");

QLabel* addLabel(QWidget* panel, const char* name, const QString& text, const QRect& geometry,
                 const QColor& colour)
{
    auto* label = new QLabel(text, panel);
    label->setObjectName(QLatin1String(name));
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    setTextColour(label, colour);
    label->setGeometry(geometry);
    return label;
}

void setUnderlined(QLabel* label)
{
    QFont font = label->font();
    font.setUnderline(true);
    label->setFont(font);
}

} // namespace

TPlantillas::TPlantillas(Plantihoras& logic, UserInterface& userInterface, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                         Qt::MSWindowsFixedSizeDialogHint),
      m_logic(logic), m_userInterface(userInterface)
{
    buildWindow();
    centreOnScreen(this);
}

TPlantillas::~TPlantillas() = default;

void TPlantillas::buildWindow()
{
    setObjectName(QStringLiteral("Plantillas"));
    setWindowTitle(QStringLiteral("Planillas, Marcos o Jornadas Horarias"));
    setFont(windowFont());
    setFixedSize(formWidth, formHeight);

    auto* panel = new GradientPanel(colours::skyBlue, colours::white, colours::inactiveCaption, this);
    panel->setObjectName(QStringLiteral("Draw3D4"));
    panel->setGeometry(0, 0, formWidth, formHeight);
    buildLabels(panel);
    buildLists(panel);

    m_continueButton = new QPushButton(QStringLiteral("Continuar"), panel);
    m_continueButton->setObjectName(QStringLiteral("BitBtnContinuar"));
    m_continueButton->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton, nullptr, m_continueButton));
    QFont bold = m_continueButton->font();
    bold.setBold(true);
    m_continueButton->setFont(bold);
    m_continueButton->setGeometry(255, 253, 89, 25);
    // An OK button: Enter anywhere in the dialog presses it.
    m_continueButton->setDefault(true);
    connect(m_continueButton, &QPushButton::clicked, this, &TPlantillas::onContinueClicked);

    auto* helpKey = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(helpKey, &QShortcut::activated, this, &TPlantillas::helpRequested);
}

void TPlantillas::buildLabels(QWidget* panel)
{
    m_instruction = addLabel(
        panel, "LabelPlantillas",
        QStringLiteral("Seleccione 1, o los 2 Marcos Horarios que quiere aplicar a su Horario en Velmora."),
        {16, 2, 321, 33}, Qt::black);
    m_instruction->setWordWrap(true);

    m_selectionHint = addLabel(panel, "LabelSelec", selectionHint, selectionHintBox, colours::red);
    m_selectionHint->setWordWrap(true);
    QFont italic = m_selectionHint->font();
    italic.setItalic(true);
    m_selectionHint->setFont(italic);

    addLabel(panel, "LabelMarcos", QStringLiteral("MARCOS"), {40, 86, 74, 16}, colours::maroon);
    addLabel(panel, "Label1", QStringLiteral("HORAS"), {215, 86, 67, 18}, colours::maroon);

    m_frameName = addLabel(panel, "LabelNombre", QStringLiteral("-"), {9, 151, 120, 41}, colours::maroon);
    m_frameName->setWordWrap(true);
    setUnderlined(m_frameName);
    m_firstDate = addLabel(panel, "LabelPlanFec1", QStringLiteral("-"), {9, 196, 120, 23}, colours::maroon);
    m_secondDate = addLabel(panel, "LabelPlanFec2", QStringLiteral("-"), {9, 226, 120, 23}, colours::maroon);
}

void TPlantillas::buildLists(QWidget* panel)
{
    m_frames = new QListWidget(panel);
    m_frames->setObjectName(QStringLiteral("ListBox2"));
    m_frames->setGeometry(16, 103, 127, 45);
    // A plain click selects only the entry, Ctrl+click adds or removes it,
    // Shift+click selects a range.
    m_frames->setSelectionMode(QAbstractItemView::ExtendedSelection);
    connect(m_frames, &QListWidget::itemSelectionChanged, this, &TPlantillas::onFramesSelectionChanged);
    // A click shows the clicked frame whether it selected or deselected it;
    // the arrow keys show the frame they move to.
    connect(m_frames, &QListWidget::clicked, this, &TPlantillas::onFrameClicked);
    connect(m_frames, &QListWidget::currentRowChanged, this, &TPlantillas::onFrameClicked);

    m_hours = new QListWidget(panel);
    m_hours->setObjectName(QStringLiteral("ListBox1"));
    m_hours->setGeometry(152, 103, 193, 146);
    m_hours->setSelectionMode(QAbstractItemView::SingleSelection);

    m_currentFrame = new QComboBox(panel);
    m_currentFrame->setObjectName(QStringLiteral("ComboBoxPlantilla"));
    m_currentFrame->setGeometry(150, 254, 81, 21);
    m_currentFrame->setEditable(true);
    m_currentFrame->hide();
}

void TPlantillas::rethrowFailure() const
{
    if (m_failure)
        std::rethrow_exception(m_failure);
}

bool TPlantillas::guarded(const std::function<void()>& action)
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
        finish();
        return false;
    }
}

void TPlantillas::finish()
{
    if (m_finished)
        return;
    m_finished = true;
    QDialog::done(QDialog::Accepted);
}

void TPlantillas::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (m_shownBefore)
        return;
    m_shownBefore = true;
    // Where the window system activates no window by itself, the dialog is
    // filled all the same.
    QMetaObject::invokeMethod(this, &TPlantillas::onFirstShown, Qt::QueuedConnection);
}

void TPlantillas::onFirstShown()
{
    if (!m_activatedOnce)
        activate();
}

bool TPlantillas::event(QEvent* event)
{
    if (event->type() == QEvent::WindowDeactivate) {
        // The window that takes the activation is already the active one.
        // The help, read while choosing, and another program leave the
        // choice as it is; another window of this program starts it afresh.
        const QWidget* next = QApplication::activeWindow();
        m_refillOnReturn = next != nullptr && next != this && !next->inherits("pasavel::HelpWindow");
    } else if (event->type() == QEvent::WindowActivate && isVisible()) {
        if (!m_activatedOnce || m_refillOnReturn)
            activate();
        m_refillOnReturn = false;
    }
    return QDialog::event(event);
}

void TPlantillas::keyPressEvent(QKeyEvent* event)
{
    // Escape would close without the user meaning to end the choice.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TPlantillas::activate()
{
    if (m_finished || m_closing)
        return;
    m_activatedOnce = true;
    if (!guarded([this] { m_logic.FormActivate(); }))
        return;
    showFrames();
    showCurrentFrame();
    showNoChoiceReason();
    m_frames->setFocus(Qt::ActiveWindowFocusReason);
}

void TPlantillas::showFrames()
{
    m_updating = true;
    m_frames->clear();
    m_currentFrame->clear();
    for (const std::u16string& code : m_logic.frameCodes()) {
        m_frames->addItem(toQString(code));
        m_currentFrame->addItem(toQString(code));
    }
    // The first frame is shown, and nothing is selected.
    if (m_logic.currentFrame() >= 0)
        m_frames->setCurrentRow(m_logic.currentFrame(), QItemSelectionModel::NoUpdate);
    m_updating = false;
}

void TPlantillas::showCurrentFrame()
{
    m_updating = true;
    m_currentFrame->setCurrentIndex(m_logic.currentFrame());
    m_updating = false;
    m_frameName->setText(toQString(m_logic.labelNombre()));
    m_firstDate->setText(toQString(m_logic.labelPlanFec1()));
    m_secondDate->setText(toQString(m_logic.labelPlanFec2()));
    m_hours->clear();
    for (const std::u16string& text : m_logic.hourTexts())
        m_hours->addItem(toQString(text));
}

void TPlantillas::showNoChoiceReason()
{
    const std::u16string& reason = m_logic.noChoiceReason();
    if (reason.empty()) {
        m_selectionHint->setText(selectionHint);
        m_selectionHint->setGeometry(selectionHintBox);
        return;
    }
    QString text = toQString(reason);
    if (m_logic.frameCodes().empty())
        text += QStringLiteral("\nPulse «Continuar» para terminar la exportación.");
    m_selectionHint->setText(text);
    // A long reason (a long file name, say) takes what room it needs.
    const int height =
        std::max(selectionHintBox.height(), m_selectionHint->heightForWidth(selectionHintBox.width()));
    m_selectionHint->setGeometry(selectionHintBox.adjusted(0, 0, 0, height - selectionHintBox.height()));
    m_selectionHint->raise();
}

void TPlantillas::onFramesSelectionChanged()
{
    if (m_updating || m_finished || m_closing)
        return;
    for (int row = 0; row < m_frames->count(); ++row)
        m_logic.setSelected(static_cast<std::size_t>(row), m_frames->item(row)->isSelected());
}

void TPlantillas::onFrameClicked()
{
    if (m_updating || m_finished)
        return;
    const int row = m_frames->currentRow();
    if (row < 0)
        return;
    if (guarded([&] { m_logic.framesClick(static_cast<std::size_t>(row)); }))
        showCurrentFrame();
}

void TPlantillas::onContinueClicked()
{
    validateAndClose();
}

void TPlantillas::reject()
{
    // The close box validates exactly as "Continuar" does.
    validateAndClose();
}

void TPlantillas::validateAndClose()
{
    if (m_finished || m_closing)
        return;
    // The messages of the validation take the activation away and give it
    // back: that is no new activation of the dialog.
    m_closing = true;
    // When there was nothing to choose from, the user has read why: the
    // export ends with that reason, without asking for a choice first.
    const bool nothingToChoose = !m_logic.noChoiceReason().empty() && m_logic.frameCodes().empty();
    const bool validated = guarded([this, nothingToChoose] {
        if (nothingToChoose)
            m_logic.abandon({});
        else
            m_logic.FormClose(m_userInterface);
    });
    if (validated)
        finish();
}

} // namespace pasavel
