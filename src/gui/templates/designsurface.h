#pragma once

#include "templates/fieldcatalogue.h"
#include "templates/fieldfitstore.h"
#include "templates/fieldfontstore.h"
#include "templates/fieldinfo_fwd.h"
#include "templates/templatedocument.h"
#include "templates/templatestore.h"

#include <QFont>
#include <QFrame>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QVector>
#include <optional>

class QAction;
class QMenu;
class DataModule;
struct Session;

// One field control of the design surface: a borderless edit showing the
// value the window gives it (the sender's or the current recipient's), with
// the field's hint as tooltip.
//
// The left button drags it about the panel (it keeps the offset between the
// pointer and its corner) or, pressed on its sizing border, sizes it; a
// click without movement only puts the text cursor in; typing asks first
// (it changes the sender's or the current recipient's row) and what was
// typed is handed on when the control loses the focus. The right button
// makes it the selected field and opens the panel's popup menu.
class FieldControl : public QLineEdit
{
    Q_OBJECT
public:
    static constexpr int kBorder = 3;    // width of the sizing border
    static constexpr int kMinWidth = 10; // smallest size a border drag leaves
    static constexpr int kMinHeight = 10;

    FieldControl(const FieldInfo& field, QWidget* parent);
    // Its object name: "field_" and the field's key ("field_S_Name").
    static QString objectNameFor(const QString& key) { return QStringLiteral("field_") + key; }
    const FieldInfo& field() const { return *m_field; }
    // The value to show; kept back while the user is typing into it.
    void showValue(const QString& value);
    // Hands on what was typed, if anything (valueTyped).
    void handOnTyping();

    void setPopupMenu(QMenu* menu) { m_menu = menu; }
    // The run's print font, which a field drawn as printed uses.
    void setSession(const Session* session) { m_session = session; }
    // The template's print font, used instead of the run's by a field drawn
    // as printed that has no font of its own.
    void setPrintFont(const QFont& font)
    {
        m_printFont = font;
        update();
    }
    // A tall or fitted field shows its text as it prints: from the top,
    // wrapped and shrunk into its box when fitted. Typing shows the plain edit.
    bool showsAsPrinted() const;

    enum Edge { NoEdge = 0, LeftEdge = 1, RightEdge = 2, TopEdge = 4, BottomEdge = 8 };
    // The sizing edges under a point of the control (NoEdge inside).
    int edgesAt(QPoint p) const;

    // Whether the field's text is fitted into its box when printed.
    bool fits() const { return m_fits; }
    void setFits(bool fit);

    // Drawn as a Code 128 or QR code of its value, as it prints.
    const FieldFit& symbol() const { return m_symbol; }
    void setSymbol(const FieldFit& symbol);
    // Grows to hold the whole symbol of its value.
    void fitSymbol();

    // Drawn with a strong outline while it is the selected field.
    void setOutlined(bool on);
    bool isOutlined() const { return m_outlined; }

Q_SIGNALS:
    // The user typed a new value; it is shown and goes to no row by itself.
    void valueTyped(const QString& text);
    // A drag or a border drag ended with the control elsewhere or resized.
    void mouseEdited(const QRect& before, const QRect& after);
    // An arrow key: move by this many pixels.
    void nudgeRequested(int dx, int dy);
    void focused();
    void placeShown(); // moved or resized on screen
    // The right button or the menu key: this field is the popup menu's.
    void menuRequested();

protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void dragTo(QPoint pointerInPanel);
    // A key that would change the text (typing, deleting, pasting).
    static bool editsText(const QKeyEvent* event);
    // Whether the user means to change the sender's or recipient's value.
    bool askToEdit();
    void showCursorFor(int edges);

    const FieldInfo* m_field;
    const Session* m_session = nullptr;
    QMenu* m_menu = nullptr;
    bool m_leftDown = false;
    bool m_outlined = false;
    bool m_fits = false;
    FieldFit m_symbol;
    bool m_moved = false;
    int m_edges = NoEdge;
    QPoint m_pressInPanel;
    QRect m_startGeometry;
    std::optional<QFont> m_printFont;
    QString m_value;      // the value last given
    bool m_typed = false; // typed since, not handed on yet
};

// The design panel Model_Container: the background image Model_BKimg and
// the field controls over it, showing a template document and editing it
// through its undoable edits. Positions are pixels of this panel's client
// area, at 96 pixels per inch.
class DesignSurface : public QFrame
{
    Q_OBJECT
public:
    static constexpr int kImageLeft = FieldCatalogue::kImageLeft;
    static constexpr int kImageTop = FieldCatalogue::kImageTop;

    explicit DesignSurface(QWidget* parent = nullptr);

    // The data module the field menu's settings are stored through.
    void bindData(DataModule* dm, const Session* session);
    // The values the fields show, by field key (a key left out shows empty).
    void showValues(const QHash<QString, QString>& values);
    // Every control hands on what was typed into it.
    void handOnTyping();

    // The document shown: its picture, every field at its place plus the
    // feed offsets, its box and visibility. Edits go to it.
    void setDocument(TemplateDocument* document);
    TemplateDocument* document() const { return m_doc; }
    // The template as shown, for printing what is on the screen.
    const TemplateLayout& layout() const { return m_doc->layout(); }
    // Fields drawn as a symbol grow to hold it; with asStored the grown
    // boxes count as the template's stored ones (just after laying it out).
    void growSymbols(bool asStored);

    QLabel* backgroundImage() const { return m_image; }
    // Shows a picture in Model_BKimg; the image takes the picture's size.
    void setBackground(const QPixmap& picture);
    QPixmap background() const { return m_picture; }

    const QVector<FieldControl*>& fieldControls() const { return m_fields; }
    FieldControl* fieldControl(const QString& key) const;

    // The controls' places, widths and own visibility, in catalogue order.
    QVector<TemplateStore::FieldPlace> fieldPlaces() const;
    // Makes a field's control visible, its place and size unchanged.
    void showField(const QString& key);
    // Shows the fields of these keys and hides every other, places and
    // sizes unchanged; one change for undo.
    void showOnlyFields(const QStringList& keys);

    // "删除此字段": hides the selected field, if any.
    void hideSelectedField();
    // "适应框内": switches fitting its box on or off for the field the menu
    // was opened on, stored with the current template at once.
    void setSelectedFieldFits(bool fit);
    // "显示为条码" / "显示为二维码" / "显示为文字": how the field the menu was
    // opened on prints, stored with the current template at once.
    void setSelectedFieldSymbol(FieldSymbol symbol);
    // "条码尺寸…": asks the module width and the bar height in millimetres
    // of the field the menu was opened on, stored at once.
    void askSelectedSymbolSize();

    // "字段字体…": the selected field gets the font chosen in the font
    // dialog, in the document and stored with the current template at once
    // (a new template's wait for its save); "恢复默认字体" takes it away.
    void chooseSelectedFieldFont();
    void clearSelectedFieldFont();
    // The current template's print font as now stored goes into the
    // document (after a change of the toolbar's font).
    void showTemplatePrintFont();

    // The field the arrow keys move, outlined: the field control last
    // given the focus, while it is shown.
    FieldControl* selectedControl() const;
    // The field the popup menu was last opened on (right click), if any.
    FieldControl* menuField() const { return m_menuField; }
    // Moves the selected field by that many pixels.
    void nudgeSelected(int dx, int dy);

Q_SIGNALS:
    // The selected field changed, moved or was resized.
    void selectionChanged();
    // The user typed a new value into the field of that key.
    void valueTyped(const QString& key, const QString& text);

public:
    QMenu* fieldMenu;
    QAction* hideFieldAction;
    QAction* fitToBoxAction;
    QAction* fieldFontAction;
    QAction* defaultFontAction;
    QAction* code128Action;
    QAction* qrAction;
    QAction* textAction;
    QAction* symbolSizeAction;

private:
    void select(FieldControl* control);
    // The document's field as the control shows it at geometry g.
    TemplateField fieldAt(FieldControl* control, const QRect& g) const;
    void showDocument();
    void showDocumentField(int index);
    // Every field control in its own font, the others in the surface's; the
    // template's print font for the fields drawn as printed.
    void showFonts();
    void growSymbol(int index, bool asStored);
    // Big enough for the picture and its margin, so that a scroll area shows all of it.
    void fitToPicture();

    QPointer<FieldControl> m_selected;
    QPointer<FieldControl> m_menuField;
    // The field the popup menu was opened on (right click), if any.
    FieldControl* popupTarget() const;
    void showSelectedFieldFit();
    void showSelectedFieldFont();
    void showSelectedFieldSymbol();

    DataModule* m_dm = nullptr;
    const Session* m_session = nullptr;
    TemplateDocument* m_doc = nullptr;
    qint64 m_shownPicture = 0; // cache key of the document's picture shown
    QLabel* m_image;
    QPixmap m_picture;
    QVector<FieldControl*> m_fields;
};
