#include "gui-win32/TPlantillas.h"

#include "dialogs/Plantihoras.h"
#include "gui-win32/TMForm.h"

namespace pasavel::win32 {

namespace {

constexpr int formWidth = 371;
constexpr int formHeight = 281;

constexpr int framesIdentifier = 301;
constexpr int hoursIdentifier = 302;
constexpr int comboIdentifier = 303;

enum LabelIndex : std::size_t {
    instructionLabel, // LabelPlantillas
    selectionHint,    // LabelSelec
    framesHeading,    // LabelMarcos
    hoursHeading,     // Label1
    frameName,        // LabelNombre
    firstDate,        // LabelPlanFec1
    secondDate,       // LabelPlanFec2
};

const wchar_t* const selectionHintText =
    L"Para seleccionar mas de un Marco Horario, mantenga (Ctrl) pulsado y "
    L"seleccione cada marco con 1 click del botón izquierdo del ratón.";

HWND makeControl(HWND parent, const wchar_t* className, DWORD style, DWORD extendedStyle, const RECT& bounds,
                 int identifier, HFONT font)
{
    HWND control = CreateWindowExW(extendedStyle, className, L"", WS_CHILD | style, bounds.left, bounds.top,
                                   bounds.right - bounds.left, bounds.bottom - bounds.top, parent,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(identifier)),
                                   GetModuleHandleW(nullptr), nullptr);
    if (control != nullptr)
        setControlFont(control, font);
    return control;
}

} // namespace

TPlantillas::TPlantillas(Plantihoras& logic, TMForm& mainWindow)
    : m_logic(logic), m_mainWindow(mainWindow), m_font(makeFont(windowFont())),
      m_boldFont(makeFont({.bold = true})), m_boldItalicFont(makeFont({.bold = true, .italic = true})),
      m_boldUnderlinedFont(makeFont({.bold = true, .underlined = true}))
{
    buildWindow();
}

TPlantillas::~TPlantillas() = default;

void TPlantillas::buildWindow()
{
    // Only the close box in the title bar.
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    const DWORD extendedStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
    const SIZE size = windowSizeForClient(formWidth, formHeight, style, extendedStyle);
    if (!createWindow(L"PasavelPlantillas", L"Planillas, Marcos o Jornadas Horarias", style, extendedStyle,
                      {0, 0, size.cx, size.cy}, m_mainWindow.dialogOwner()))
        return;
    centreOnScreen(handle());

    const auto label = [](const wchar_t* text, int left, int top, int width, int height, HFONT font,
                          COLORREF colour, bool wrapped) {
        PaintedLabel look;
        look.text = text;
        look.left = left;
        look.top = top;
        look.width = width;
        look.height = height;
        look.font = font;
        look.colour = colour;
        look.wrapped = wrapped;
        return look;
    };
    HFONT bold = m_boldFont.get();
    m_labels = {
        label(L"Seleccione 1, o los 2 Marcos Horarios que quiere aplicar a su Horario en Velmora.", 16, 2,
              321, 33, bold, colours::black, true),
        label(selectionHintText, 16, 36, 321, 50, m_boldItalicFont.get(), colours::red, true),
        label(L"MARCOS", 40, 86, 74, 16, bold, colours::maroon, false),
        label(L"HORAS", 215, 86, 67, 18, bold, colours::maroon, false),
        label(L"-", 9, 151, 120, 41, m_boldUnderlinedFont.get(), colours::maroon, true),
        label(L"-", 9, 196, 120, 23, bold, colours::maroon, false),
        label(L"-", 9, 226, 120, 23, bold, colours::maroon, false),
    };

    // A plain click selects only the entry, Ctrl+click adds or removes it,
    // Shift+click selects a range.
    m_frames = makeControl(handle(), L"LISTBOX",
                           WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | LBS_EXTENDEDSEL | LBS_NOTIFY |
                               LBS_NOINTEGRALHEIGHT,
                           WS_EX_CLIENTEDGE, scaledRect(16, 103, 127, 45), framesIdentifier, m_font.get());
    SetWindowTextW(m_frames, L"ListBox2");
    m_hours = makeControl(handle(), L"LISTBOX",
                          WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT,
                          WS_EX_CLIENTEDGE, scaledRect(152, 103, 193, 146), hoursIdentifier, m_font.get());
    SetWindowTextW(m_hours, L"ListBox1");
    // Hidden: its text is the frame shown, its items mirror the frames list.
    m_currentFrame = makeControl(handle(), L"COMBOBOX", CBS_DROPDOWN | WS_VSCROLL, 0,
                                 scaledRect(150, 254, 81, 121), comboIdentifier, m_font.get());
    m_continueButton = std::make_unique<KindButton>(handle(), IDOK, L"Continuar",
                                                    scaledRect(255, 253, 89, 25), bold, Glyph::ok);
}

void TPlantillas::exec()
{
    if (handle() == nullptr)
        return;
    HWND mainWindow = m_mainWindow.handle();
    m_mainWindow.beginModal(handle(), nullptr);
    EnableWindow(mainWindow, FALSE);
    ShowWindow(handle(), SW_SHOW);
    SetForegroundWindow(handle());
    // Where the window system activates no window by itself, the dialog is
    // filled all the same.
    PostMessageW(handle(), firstShownMessage, 0, 0);
    runMessageLoop(
        handle(), [this] { return m_finished || m_mainWindow.isClosed(); },
        [this] { m_mainWindow.showHelpTopic(HelpTopic::frameDialog); });
    if (!m_finished && m_mainWindow.isClosed())
        m_logic.abandon(u"La ventana de Pasavel se ha cerrado antes de elegir los marcos horarios.");
    m_finished = true;
    m_mainWindow.endModal(handle());
    EnableWindow(mainWindow, TRUE);
    ShowWindow(handle(), SW_HIDE);
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
        // Nothing may leave a window procedure: the modal loop ends here and
        // the caller raises the failure again.
        m_failure = std::current_exception();
        finish();
        return false;
    }
}

void TPlantillas::finish()
{
    m_finished = true;
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
    SetFocus(m_frames);
}

void TPlantillas::showFrames()
{
    m_updating = true;
    SendMessageW(m_frames, LB_RESETCONTENT, 0, 0);
    SendMessageW(m_currentFrame, CB_RESETCONTENT, 0, 0);
    for (const std::u16string& code : m_logic.frameCodes()) {
        const std::wstring text = toWide(code);
        SendMessageW(m_frames, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
        SendMessageW(m_currentFrame, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    // The first frame is shown, and nothing is selected.
    if (m_logic.currentFrame() >= 0)
        SendMessageW(m_frames, LB_SETCARETINDEX, static_cast<WPARAM>(m_logic.currentFrame()), FALSE);
    m_updating = false;
}

void TPlantillas::showCurrentFrame()
{
    SendMessageW(m_currentFrame, CB_SETCURSEL, static_cast<WPARAM>(m_logic.currentFrame()), 0);
    m_labels[frameName].text = toWide(m_logic.labelNombre());
    m_labels[firstDate].text = toWide(m_logic.labelPlanFec1());
    m_labels[secondDate].text = toWide(m_logic.labelPlanFec2());
    SendMessageW(m_hours, WM_SETREDRAW, FALSE, 0);
    SendMessageW(m_hours, LB_RESETCONTENT, 0, 0);
    for (const std::u16string& text : m_logic.hourTexts()) {
        const std::wstring entry = toWide(text);
        SendMessageW(m_hours, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str()));
    }
    SendMessageW(m_hours, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(m_hours, nullptr, TRUE);
    InvalidateRect(handle(), nullptr, FALSE);
}

void TPlantillas::showNoChoiceReason()
{
    PaintedLabel& hint = m_labels[selectionHint];
    const std::u16string& reason = m_logic.noChoiceReason();
    if (reason.empty()) {
        hint.text = selectionHintText;
        hint.height = 50;
        hint.background.reset();
    } else {
        hint.text = toWide(reason);
        if (m_logic.frameCodes().empty())
            hint.text += L"\nPulse «Continuar» para terminar la exportación.";
        // A long reason (a long file name, say) takes what room it needs,
        // over the lists if it must.
        hint.height = 0;
        hint.background = colours::white;
    }
    InvalidateRect(handle(), nullptr, FALSE);
}

void TPlantillas::onFramesSelectionChanged()
{
    if (m_updating || m_finished || m_closing)
        return;
    const auto count = static_cast<int>(SendMessageW(m_frames, LB_GETCOUNT, 0, 0));
    for (int entry = 0; entry < count; ++entry)
        m_logic.setSelected(static_cast<std::size_t>(entry),
                            SendMessageW(m_frames, LB_GETSEL, static_cast<WPARAM>(entry), 0) > 0);
    // The entry that has the focus is the one last clicked, whether the
    // click selected or deselected it; the arrow keys move it too.
    const auto caret = static_cast<int>(SendMessageW(m_frames, LB_GETCARETINDEX, 0, 0));
    if (caret < 0 || caret >= count)
        return;
    if (guarded([&] { m_logic.framesClick(static_cast<std::size_t>(caret)); }))
        showCurrentFrame();
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
            m_logic.FormClose(m_mainWindow);
    });
    if (validated)
        finish();
}

void TPlantillas::paint(HDC context)
{
    RECT client{};
    GetClientRect(handle(), &client);
    paintGradient(context, client, colours::skyBlue, colours::white, GetSysColor(COLOR_INACTIVECAPTION));
    for (const PaintedLabel& label : m_labels)
        paintLabel(context, label);
}

LRESULT TPlantillas::handleMessage(UINT message, WPARAM wParam, LPARAM lParam)
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
    case WM_PRINTCLIENT:
        paint(reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_DRAWITEM:
        if (drawKindButton(lParam))
            return TRUE;
        break;
    case firstShownMessage:
        if (!m_activatedOnce)
            activate();
        return 0;
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) {
            // The window that takes the activation comes with the message.
            // Another program (the help's browser among them) leaves the
            // choice as it is; another window of this program starts it
            // afresh.
            const auto next = reinterpret_cast<HWND>(lParam);
            m_refillOnReturn = next != nullptr && next != handle() && belongsToThisProgram(next);
        } else if (IsWindowVisible(handle()) != FALSE) {
            if (m_activatedOnce && m_refillOnReturn)
                activate();
            m_refillOnReturn = false;
            if (m_activatedOnce)
                SetFocus(m_frames);
            return 0;
        }
        break;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            validateAndClose();
            return 0;
        case IDCANCEL:
            // Escape would close without the user meaning to end the choice.
            return 0;
        case framesIdentifier:
            if (HIWORD(wParam) == LBN_SELCHANGE)
                onFramesSelectionChanged();
            return 0;
        default:
            break;
        }
        break;
    case WM_CLOSE:
        // The close box validates exactly as "Continuar" does.
        validateAndClose();
        return 0;
    default:
        break;
    }
    return defaultHandling(message, wParam, lParam);
}

} // namespace pasavel::win32
