#include "gui-qt/CursosGrid.h"

#include "dialogs/Cursos.h"
#include "gui-qt/WindowLook.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>
#include <QStyledItemDelegate>

#include <algorithm>
#include <array>

namespace pasavel {

namespace {

struct ColumnLook {
    const char* title;
    int characters; // the width the column shows, in characters
};

constexpr std::array<ColumnLook, 4> columnLooks = {{
    {"CÓD.RAÍCES", 10},
    {"ESTUDIOS", 40},
    {"NIVEL", 5},
    {"CURSO", 3},
}};

// What the store keeps of a level and of a course number.
int fieldWidth(const Cursos& logic, int column)
{
    return static_cast<int>(column == CursosGrid::nivel ? logic.nivelWidth() : logic.cursoWidth());
}

bool isEditable(int column)
{
    return column == CursosGrid::nivel || column == CursosGrid::curso;
}

const QColor gridBackground(0xF0, 0xFB, 0xFF);
const QColor titleBackground(0xFE, 0xE4, 0xA9);
const QColor alternateRow(0xCF, 0xD9, 0xFE);

// The record marks of the column left of the rows: the current record, and
// the current record while it is being edited.
const QString currentMark = QStringLiteral("\u25B6");
const QString editingMark = QStringLiteral("I");

} // namespace

// The courses as rows, read from the logic whenever the view asks.
class CursosModel : public QAbstractTableModel {
  public:
    // valueStored: a typed value reached the logic, which may have started
    // editing the record with it.
    CursosModel(Cursos& logic, CursosGrid::Guard& guard, std::function<void()> valueStored, QObject* parent)
        : QAbstractTableModel(parent), m_logic(logic), m_guard(guard), m_valueStored(std::move(valueStored))
    {
    }

    int rowCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : static_cast<int>(m_logic.rowCount());
    }
    int columnCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : static_cast<int>(columnLooks.size());
    }

    QVariant data(const QModelIndex& index, int role) const override
    {
        if (role != Qt::DisplayRole && role != Qt::EditRole)
            return {};
        if (!index.isValid() || index.row() >= rowCount())
            return {};
        const Cursos::Course course = m_logic.course(static_cast<std::size_t>(index.row()));
        switch (index.column()) {
        case CursosGrid::clave:
            return toQString(course.clave);
        case CursosGrid::estud:
            return toQString(course.estud);
        case CursosGrid::nivel:
            return toQString(course.nivel);
        default:
            return toQString(course.curso);
        }
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation == Qt::Horizontal) {
            if (role == Qt::DisplayRole && section >= 0 && section < columnCount())
                return QString::fromUtf8(columnLooks[static_cast<std::size_t>(section)].title);
            if (role == Qt::TextAlignmentRole)
                return QVariant::fromValue(Qt::AlignCenter);
            return {};
        }
        if (role == Qt::TextAlignmentRole)
            return QVariant::fromValue(Qt::AlignCenter);
        if (role != Qt::DisplayRole || section >= rowCount())
            return {};
        if (static_cast<std::size_t>(section) != m_logic.currentRow())
            return QString();
        return m_logic.isEditing() ? editingMark : currentMark;
    }

    Qt::ItemFlags flags(const QModelIndex& index) const override
    {
        if (!index.isValid())
            return Qt::NoItemFlags;
        Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
        if (isEditable(index.column()))
            flags |= Qt::ItemIsEditable;
        return flags;
    }

    bool setData(const QModelIndex& index, const QVariant& value, int role) override
    {
        if (role != Qt::EditRole || !index.isValid() || !isEditable(index.column()))
            return false;
        const auto row = static_cast<std::size_t>(index.row());
        const std::u16string text = toU16String(value.toString());
        const bool stored = m_guard([&] {
            if (m_logic.currentRow() != row)
                m_logic.moveTo(row);
            if (index.column() == CursosGrid::nivel)
                m_logic.setNivel(text);
            else
                m_logic.setCurso(text);
        });
        if (stored) {
            emit dataChanged(index, index);
            showRecordMarks();
            m_valueStored();
        }
        return stored;
    }

    void reload()
    {
        beginResetModel();
        endResetModel();
    }

    // The current record or its editing state changed. The values are left
    // alone: the view would put them back into an open editor, over what is
    // being typed.
    void showRecordMarks()
    {
        if (rowCount() > 0)
            emit headerDataChanged(Qt::Vertical, 0, rowCount() - 1);
    }

    // Values changed besides the one just typed (a cancelled record).
    void showValues()
    {
        if (rowCount() == 0)
            return;
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
        showRecordMarks();
    }

  private:
    Cursos& m_logic;
    CursosGrid::Guard& m_guard;
    std::function<void()> m_valueStored;
};

// Edits a level or a course number in a line no longer than the field, and
// lets Enter go on to the next column as Tab does.
class CursosDelegate : public QStyledItemDelegate {
  public:
    CursosDelegate(const Cursos& logic, QObject* parent) : QStyledItemDelegate(parent), m_logic(logic) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&,
                          const QModelIndex& index) const override
    {
        auto* editor = new QLineEdit(parent);
        editor->setFrame(false);
        editor->setMaxLength(fieldWidth(m_logic, index.column()));
        m_openEditor = editor;
        return editor;
    }

    void setEditorData(QWidget* editor, const QModelIndex& index) const override
    {
        auto* line = static_cast<QLineEdit*>(editor);
        line->setText(index.data(Qt::EditRole).toString());
        // What is typed replaces the value, as in a dataset's grid.
        line->selectAll();
    }

    void commitOpenEditor()
    {
        if (QWidget* editor = m_openEditor.data()) {
            emit commitData(editor);
            emit closeEditor(editor, QAbstractItemDelegate::NoHint);
        }
    }

  protected:
    bool eventFilter(QObject* object, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                auto* editor = static_cast<QWidget*>(object);
                emit commitData(editor);
                emit closeEditor(editor, QAbstractItemDelegate::EditNextItem);
                return true;
            }
        }
        return QStyledItemDelegate::eventFilter(object, event);
    }

  private:
    const Cursos& m_logic;
    mutable QPointer<QWidget> m_openEditor;
};

CursosGrid::CursosGrid(Cursos& logic, Guard guard, QWidget* parent)
    : QTableView(parent), m_logic(logic), m_guard(std::move(guard)),
      m_model(new CursosModel(
          m_logic, m_guard, [this] { emit logicChanged(); }, this)),
      m_delegate(new CursosDelegate(logic, this))
{
    setModel(m_model);
    setItemDelegate(m_delegate);
    setUpLook();
    connect(qApp, &QApplication::focusChanged, this, &CursosGrid::onFocusChanged);
}

CursosGrid::~CursosGrid()
{
    // Destroying the widget moves the focus, and by then this is no longer
    // a CursosGrid: the application must not call back into it.
    disconnect(qApp, &QApplication::focusChanged, this, nullptr);
}

void CursosGrid::setUpLook()
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    // No editing on a click in the current cell: the view would wait for a
    // possible double click and drop what is typed meanwhile.
    setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::DoubleClicked |
                    QAbstractItemView::EditKeyPressed);
    setWordWrap(false);
    setTextElideMode(Qt::ElideRight);
    // The columns always fill the grid's width, so nothing scrolls sideways
    // and the key and the studies stay in view.
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    QPalette colours = palette();
    colours.setColor(QPalette::Base, gridBackground);
    colours.setColor(QPalette::AlternateBase, alternateRow);
    setPalette(colours);
    setAlternatingRowColors(true);
    setUpHeaders();
    sizeColumns();
}

void CursosGrid::setUpHeaders()
{
    const QString titleStyle =
        QStringLiteral("background-color: %1; color: black; border: none;"
                       " border-right: 1px solid #B4A07A; border-bottom: 1px solid #B4A07A;")
            .arg(titleBackground.name());
    setStyleSheet(QStringLiteral("QHeaderView::section { %1 font-weight: bold; padding: 0px 2px; }"
                                 " QTableCornerButton::section { %1 }")
                      .arg(titleStyle));
    QFont bold = font();
    bold.setBold(true);
    horizontalHeader()->setFont(bold);
    horizontalHeader()->setMinimumHeight(2 * QFontMetrics(bold).lineSpacing() + 6); // two lines of title
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setHighlightSections(false);

    // The rows keep their height; left of them, the record marks.
    const int rowHeight = fontMetrics().height() + 4;
    verticalHeader()->setMinimumSectionSize(rowHeight);
    verticalHeader()->setDefaultSectionSize(rowHeight);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setSectionsClickable(false);
    verticalHeader()->setHighlightSections(false);
    verticalHeader()->setFixedWidth(14);
}

void CursosGrid::sizeColumns()
{
    QFont bold = font();
    bold.setBold(true);
    const QFontMetrics titleMetrics(bold);
    const int characterWidth = fontMetrics().horizontalAdvance(QLatin1Char('0'));
    QHeaderView* header = horizontalHeader();
    for (std::size_t column = 0; column < columnLooks.size(); ++column) {
        const ColumnLook& look = columnLooks[column];
        const int width = std::max(look.characters * characterWidth + 8,
                                   titleMetrics.horizontalAdvance(QString::fromUtf8(look.title)) + 10);
        header->resizeSection(static_cast<int>(column), width);
        header->setSectionResizeMode(static_cast<int>(column), QHeaderView::Fixed);
    }
    header->setSectionResizeMode(estud, QHeaderView::Stretch);
}

void CursosGrid::start()
{
    reload();
    m_started = true;
    const QWidget* focused = QApplication::focusWidget();
    if (focused != nullptr && (focused == this || isAncestorOf(focused)))
        focusMoved(true);
}

void CursosGrid::reload()
{
    const int column = currentColumn();
    m_following = true;
    m_model->reload();
    if (m_model->rowCount() > 0)
        setCurrentIndex(m_model->index(static_cast<int>(m_logic.currentRow()), column));
    m_following = false;
    showLogicState();
}

void CursosGrid::showLogicState()
{
    m_model->showValues();
    if (m_model->rowCount() == 0)
        return;
    const int row = static_cast<int>(m_logic.currentRow());
    if (row >= m_model->rowCount())
        return;
    if (!currentIndex().isValid() || currentIndex().row() != row) {
        m_following = true;
        setCurrentIndex(m_model->index(row, currentColumn()));
        m_following = false;
    }
    scrollTo(currentIndex());
}

void CursosGrid::commitEditor()
{
    if (state() == QAbstractItemView::EditingState)
        m_delegate->commitOpenEditor();
}

int CursosGrid::currentColumn() const
{
    return currentIndex().isValid() ? std::max<int>(currentIndex().column(), nivel) : nivel;
}

void CursosGrid::moveToCell(int row, int column)
{
    setCurrentIndex(m_model->index(row, column));
}

QModelIndex CursosGrid::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers)
{
    const QModelIndex current = currentIndex();
    if (!current.isValid())
        return QTableView::moveCursor(action, modifiers);
    const int row = current.row();
    const int lastRow = m_model->rowCount() - 1;
    switch (action) {
    case MoveNext:
        if (current.column() < curso)
            return m_model->index(row, curso);
        return row < lastRow ? m_model->index(row + 1, nivel) : current;
    case MovePrevious:
        if (current.column() > nivel)
            return m_model->index(row, nivel);
        return row > 0 ? m_model->index(row - 1, curso) : current;
    default: {
        // Whatever else moves the cursor, it does not move it into the key
        // columns.
        const QModelIndex moved = QTableView::moveCursor(action, modifiers);
        if (moved.isValid() && moved.column() < nivel)
            return m_model->index(moved.row(), nivel);
        return moved;
    }
    }
}

void CursosGrid::keyPressEvent(QKeyEvent* event)
{
    const bool editing = state() == QAbstractItemView::EditingState;
    if (!editing && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        const QModelIndex next = moveCursor(MoveNext, event->modifiers());
        if (next.isValid())
            setCurrentIndex(next);
        event->accept();
        return;
    }
    if (!editing && event->key() == Qt::Key_Escape) {
        // Escape drops the changes of the current record, as the navigator's
        // cancel does.
        m_guard([&] { m_logic.cancel(); });
        showLogicState();
        emit logicChanged();
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

void CursosGrid::mousePressEvent(QMouseEvent* event)
{
    const QModelIndex pressed = indexAt(event->position().toPoint());
    if (pressed.isValid() && pressed.column() < nivel) {
        // A click on a key or on the studies picks the row only.
        setFocus(Qt::MouseFocusReason);
        moveToCell(pressed.row(), currentColumn());
        event->accept();
        return;
    }
    QTableView::mousePressEvent(event);
}

void CursosGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QTableView::currentChanged(current, previous);
    if (m_following || !current.isValid())
        return;
    const auto row = static_cast<std::size_t>(current.row());
    m_guard([&] {
        if (m_logic.currentRow() != row)
            m_logic.moveTo(row);
        if (previous.isValid() && previous.column() != current.column())
            m_logic.CursosTDBGridColEnter();
    });
    m_model->showRecordMarks();
    emit logicChanged();
}

void CursosGrid::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint)
{
    // Enter in the last cell commits and stays there.
    if (hint == QAbstractItemDelegate::EditNextItem && moveCursor(MoveNext, Qt::NoModifier) == currentIndex())
        hint = QAbstractItemDelegate::NoHint;
    QTableView::closeEditor(editor, hint);
}

void CursosGrid::onFocusChanged(QWidget*, QWidget* now)
{
    // A window that opens above the dialog, or a click in another window, is
    // no move of the focus between the dialog's controls.
    if (!m_started || now == nullptr || now->window() != window())
        return;
    const bool inside = now == this || isAncestorOf(now);
    if (inside != m_hasFocus)
        focusMoved(inside);
}

void CursosGrid::focusMoved(bool inside)
{
    m_hasFocus = inside;
    m_guard([&] {
        if (inside)
            m_logic.CursosTDBGridEnter();
        else
            m_logic.CursosTDBGridExit();
    });
    m_model->showRecordMarks();
    emit logicChanged();
}

} // namespace pasavel
