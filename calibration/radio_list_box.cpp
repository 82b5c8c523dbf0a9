// CRadioListBox: a list whose entries are drawn as a radio mark and a name.
#include "calibration/radio_list_box.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyledItemDelegate>

namespace quorvel {

namespace {

// A dark theme: the palette's text is lighter than the list's background.
bool IsDark(const QPalette& palette) {
  return palette.color(QPalette::Text).lightness() > palette.color(QPalette::Base).lightness();
}

// The names' colour: RGB(8,0,0), as the list has always drawn them, where the palette writes dark
// text on a light background; under a dark theme the palette's own text colour, as RGB(8,0,0)
// would not be read there.
QColor EntryTextColour(const QPalette& palette) {
  return IsDark(palette) ? palette.color(QPalette::Text) : QColor(8, 0, 0);
}

// The radio mark's palette. The styles outline a mark in a shade darker than a window's face,
// meant for the light face of a dialog; on a dark theme's list that shade is the list's own
// background, so the outline takes a shade of the text instead.
QPalette MarkPalette(const QPalette& palette) {
  QPalette mark = palette;
  if (IsDark(palette)) mark.setColor(QPalette::Window, palette.color(QPalette::Text));
  return mark;
}

class RadioItemDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    const QWidget* widget = option.widget;
    QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
    QRect rect = option.rect;
    painter->save();
    painter->fillRect(rect, option.palette.brush(QPalette::Base));

    // the radio mark in the square (left + 2, top + 2) .. (left + h - 3, bottom - 3)
    const int h = rect.height();
    QStyleOptionButton radio;
    radio.palette = MarkPalette(option.palette);
    radio.rect = QRect(QPoint(rect.left() + 2, rect.top() + 2),
                       QPoint(rect.left() + h - 3, rect.bottom() - 3));
    radio.state = QStyle::State_Enabled;
    radio.state |= (option.state & QStyle::State_Selected) ? QStyle::State_On : QStyle::State_Off;
    style->drawPrimitive(QStyle::PE_IndicatorRadioButton, &radio, painter, widget);

    // the name, top-left after the mark; no mnemonic processing, so "&" stays a character
    rect.setLeft(rect.left() + h);
    painter->setPen(EntryTextColour(option.palette));
    painter->drawText(rect, Qt::AlignLeft | Qt::AlignTop, index.data(Qt::DisplayRole).toString());

    if (option.state & QStyle::State_HasFocus) {
      QStyleOptionFocusRect focus;
      focus.QStyleOption::operator=(option);
      focus.rect = rect;
      style->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, widget);
    }
    painter->restore();
  }
};

}  // namespace

CRadioListBox::CRadioListBox(QWidget* parent) : QListWidget(parent) {
  setItemDelegate(new RadioItemDelegate(this));
  setSelectionMode(QAbstractItemView::SingleSelection);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setSortingEnabled(false);
}

CRadioListBox::~CRadioListBox() = default;

}  // namespace quorvel
