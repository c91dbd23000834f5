#include "gui-win32/TControlCursos.h"

#include "dialogs/Cursos.h"
#include "gui-win32/TMForm.h"

namespace pasavel::win32 {

namespace {

constexpr int formWidth = 686;
constexpr int formHeight = 499;
constexpr COLORREF panelStart = RGB(0xF0, 0xCA, 0xA6);

constexpr int forcedExitIdentifier = 201;

// Where the labels that come and go stand in the list of labels.
enum LabelIndex : std::size_t {
    titleLabel,             // Label1
    incidentsTitle,         // Label3
    incidentsText,          // Label2
    forcedExitWarning = 10, // Label8
};

} // namespace

TControlCursos::TControlCursos(Cursos& logic, TMForm& mainWindow)
    : m_logic(logic), m_mainWindow(mainWindow), m_font(makeFont(windowFont())),
      m_boldFont(makeFont({.bold = true})),
      m_boldUnderlinedFont(makeFont({.bold = true, .underlined = true})),
      m_titleFont(makeFont({.points = 12, .bold = true, .underlined = true}))
{
    buildWindow();
}

TControlCursos::~TControlCursos()
{
    // The controls go before the window that holds them.
    m_grid.reset();
    m_navigator.reset();
}

void TControlCursos::buildWindow()
{
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    const DWORD extendedStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
    const SIZE size = windowSizeForClient(formWidth, formHeight, style, extendedStyle);
    if (!createWindow(L"PasavelControlCursos", L"Asignación de Niveles y Cursos", style, extendedStyle,
                      {0, 0, size.cx, size.cy}, m_mainWindow.dialogOwner()))
        return;
    centreOnScreen(handle());

    const auto label = [](std::wstring text, int left, int top, int width, HFONT font, COLORREF colour,
                          std::optional<COLORREF> background = std::nullopt, bool centred = false) {
        PaintedLabel look;
        look.text = std::move(text);
        look.left = left;
        look.top = top;
        look.width = width;
        look.font = font;
        look.colour = colour;
        look.background = background;
        look.wrapped = width != 0;
        look.centred = centred;
        return look;
    };
    HFONT bold = m_boldFont.get();
    HFONT underlined = m_boldUnderlinedFont.get();
    using namespace colours;
    m_labels = {
        label(L"ASIGNACIÓN DE NIVELES Y CURSOS", 86, 5, 0, m_titleFont.get(), white),
        label(L"INCIDENCIAS EN EL TRASPASO", 468, 56, 216, underlined, white, std::nullopt, true),
        label(
            L"Se ha detectado que falta por indicar algún NIVEL  o CURSO. Complete el/los datos que falten, "
            L"para poder concluir el proceso, antes de Salir.",
            473, 72, 211, bold, red, yellow),
        label(L"¡ IMPORTANTE !", 471, 140, 0, underlined, blue),
        label(L"Las Abreviaturas de sus Grupos (Unidades), se formarán, en función del NIVEL y CURSO, del "
              L"siguiente modo: ",
              472, 156, 212, bold, maroon),
        label(L"Por ejemplo, NIVEL=ESO y CURSO=1 daría como resultado", 472, 207, 212, bold, blue),
        label(L"Abreviatura del Grupo = ESO1A", 473, 244, 0, underlined, fuchsia),
        label(L"y así secuencialmente para el resto de Grupos del mismo NIVEL y CURSO, ESO1B, ESO1C.", 472,
              257, 212, bold, purple),
        label(L"Ejemplos de Niveles: BCT=Bach.C.T., BHC=Bach.Hum., BT=Bach.Tecnol., LS=Leng.Signos, "
              L"GAD=Gest.Admin., EDSO=ESO Diversificación, etc...",
              462, 300, 222, bold, maroon, white),
        label(L"Luego es de vital IMPORTANCIA que para cada NIVEL sus 5 Primeros caracteres sean DISTINTOS.",
              462, 354, 222, underlined, red, skyBlue),
        label(L"¡ Atención ! Si fuerza la Salida, los Datos recogidos serán INCOHERENTES.", 479, 450, 186,
              bold, red, yellow, true),
    };

    m_navigator = std::make_unique<RecordNavigator>(
        handle(), scaledRect(105, 29, 275, 24),
        [this](RecordNavigator::Button which) { onNavigatorPressed(which); });
    m_grid = std::make_unique<CursosGrid>(
        m_logic, [this](const std::function<void()>& action) { return guarded(action); },
        [this] { showLogicState(); }, handle(), scaledRect(3, 56, 454, 433));
    m_okButton =
        std::make_unique<KindButton>(handle(), IDOK, L"OK", scaledRect(519, 397, 89, 25), bold, Glyph::ok);
    m_forcedExitButton =
        std::make_unique<KindButton>(handle(), forcedExitIdentifier, L"Forzar Salida Sin Terminar Proceso ",
                                     scaledRect(463, 424, 218, 24), bold, std::nullopt, red);
    showLogicState();
}

void TControlCursos::exec()
{
    if (handle() == nullptr)
        return;
    HWND mainWindow = m_mainWindow.handle();
    m_mainWindow.beginModal(handle(), [this] { showLogicState(); });
    EnableWindow(mainWindow, FALSE);
    ShowWindow(handle(), SW_SHOW);
    SetForegroundWindow(handle());
    SetFocus(m_grid->handle());
    // The question about earlier codings comes with the window already on
    // the screen behind it.
    PostMessageW(handle(), firstShownMessage, 0, 0);
    runMessageLoop(
        handle(), [this] { return m_finished || m_mainWindow.isClosed(); },
        [this] { m_mainWindow.showHelpTopic(HelpTopic::mainWindow); });
    if (!m_finished)
        finish();
    m_mainWindow.endModal(handle());
    EnableWindow(mainWindow, TRUE);
    ShowWindow(handle(), SW_HIDE);
}

void TControlCursos::abandon()
{
    finish();
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
        // Nothing may leave a window procedure: the modal loop ends here and
        // the caller raises the failure again.
        m_failure = std::current_exception();
        finish();
        return false;
    }
}

void TControlCursos::finish()
{
    if (m_finished)
        return;
    m_finished = true;
    m_tableOpen = false;
    if (m_grid)
        m_grid->stop();
    showLogicState();
}

void TControlCursos::onFirstShown()
{
    if (m_finished)
        return;
    if (!guarded([this] { m_logic.FormShow(); }))
        return;
    m_tableOpen = true;
    SetFocus(m_grid->handle());
    m_grid->start();
    showLogicState();
}

void TControlCursos::onOkClicked()
{
    if (!m_tableOpen || m_finished)
        return;
    m_grid->commitEditor();
    if (guarded([this] { m_logic.okClick(); }))
        finish();
}

void TControlCursos::onForcedExitClicked()
{
    if (!m_tableOpen || m_finished)
        return;
    m_grid->commitEditor();
    if (guarded([this] { m_logic.forcedExitClick(); }))
        finish();
}

void TControlCursos::onCloseBox()
{
    // What was typed stays in CURSOST; nothing is checked.
    if (m_finished)
        return;
    if (!m_tableOpen) {
        finish();
        return;
    }
    m_grid->commitEditor();
    if (guarded([this] { m_logic.closeBox(); }))
        finish();
}

void TControlCursos::onNavigatorPressed(RecordNavigator::Button which)
{
    if (!m_tableOpen || m_finished)
        return;
    // The text still in the cell's editor belongs to the record first.
    m_grid->commitEditor();
    if (!guarded([&] { applyNavigatorButton(which); }))
        return;
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
    if (handle() == nullptr)
        return;
    const bool open = m_tableOpen && !m_finished;
    const bool incidents = m_logic.incidentsVisible();
    const bool forcedExit = m_logic.forcedExitVisible();
    const bool changed = m_labels[incidentsTitle].visible != incidents ||
                         m_labels[incidentsText].visible != incidents ||
                         m_labels[forcedExitWarning].visible != forcedExit;
    m_labels[incidentsTitle].visible = incidents;
    m_labels[incidentsText].visible = incidents;
    m_labels[forcedExitWarning].visible = forcedExit;
    ShowWindow(m_forcedExitButton->handle(), forcedExit ? SW_SHOWNA : SW_HIDE);
    EnableWindow(m_okButton->handle(), open ? TRUE : FALSE);
    EnableWindow(m_forcedExitButton->handle(), open ? TRUE : FALSE);
    const std::size_t rows = open ? m_logic.rowCount() : 0;
    m_navigator->showPosition(open, rows, rows > 0 ? m_logic.currentRow() : 0, open && m_logic.isEditing());
    if (changed) {
        InvalidateRect(handle(), nullptr, FALSE);
        UpdateWindow(handle());
    }
}

void TControlCursos::paint(HDC context)
{
    RECT client{};
    GetClientRect(handle(), &client);
    paintGradient(context, client, panelStart, colours::white, colours::red);
    for (const PaintedLabel& label : m_labels)
        paintLabel(context, label);
}

LRESULT TControlCursos::handleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paintStruct{};
        HDC target = BeginPaint(handle(), &paintStruct);
        RECT client{};
        GetClientRect(handle(), &client);
        {
            BufferedPaint buffer(handle(), target, client);
            paint(buffer.context());
        }
        EndPaint(handle(), &paintStruct);
        return 0;
    }
    case WM_PRINTCLIENT: {
        paint(reinterpret_cast<HDC>(wParam));
        return 0;
    }
    case WM_ERASEBKGND:
        return 1;
    case WM_DRAWITEM:
        if (drawKindButton(lParam))
            return TRUE;
        break;
    case firstShownMessage:
        onFirstShown();
        return 0;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            onOkClicked();
            return 0;
        case forcedExitIdentifier:
            onForcedExitClicked();
            return 0;
        case IDCANCEL:
            // Escape does not close the dialog: it has no cancel button, and
            // a close without the check is the close box's alone.
            return 0;
        default:
            break;
        }
        break;
    case WM_CLOSE:
        onCloseBox();
        return 0;
    case WM_ACTIVATE:
        // The control that had the keyboard has it again on return (the
        // grid, when none had it yet): the system would give it to the
        // dialog itself.
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focused = GetFocus();
            if (focused != nullptr && IsChild(handle(), focused) != FALSE)
                m_savedFocus = focused;
            return 0;
        }
        if (HIWORD(wParam) == 0 && m_grid) {
            SetFocus(m_savedFocus != nullptr && IsWindow(m_savedFocus) != FALSE ? m_savedFocus
                                                                                : m_grid->handle());
            return 0;
        }
        break;
    default:
        break;
    }
    return defaultHandling(message, wParam, lParam);
}

} // namespace pasavel::win32
