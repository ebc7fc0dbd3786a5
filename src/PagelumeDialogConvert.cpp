// The main window's measurement converter: the "Convert" tab with the value
// box, the six unit lists and the notes box, and the number under the mouse
// pointer in the reading box. The tables and texts are in ConvertMeasure.
#include "PagelumeDialog.h"

#include "ConvertMeasure.h"
#include "Error.h"
#include "RTF.h"
#include "ReadingKeys.h"
#include "TabRows.h"
#include "Utilities.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QToolTip>
#include <QVBoxLayout>

const char *const TPagelumeForm::ConvertTabHint =
    "The measurement unit which is to be converted, is the one under the mouse cursor. The measurement unit to "
    "which convertion is performed, is the selected one (click one to select it). All conversions are "
    "approximative. Conversion results might be different in various parts of the world, but these are the most "
    "common. The decimals separator depends on the system's regional settings.";

namespace {

// The converter's texts separate conversions with 0x7F, a control character
// that the screen's fonts draw as an empty box: a bullet shows instead.
QString Text(const std::string &text) { return QString::fromStdString(text).replace(QChar(0x7F), QChar(0x2022)); }

// Draws a unit: screen colours, or the browser's focus colours when selected;
// the text inset 3 pixels left and right and 2 top and bottom; a line in the
// text colour along the bottom; no focus rectangle.
class TConvertListDelegate : public QStyledItemDelegate {
public:
  using QStyledItemDelegate::QStyledItemDelegate;
  QColor Back = QColor(255, 255, 255);
  QColor Fore = QColor(0, 0, 0);
  QColor FocusBack = QColor(185, 110, 25);
  QColor FocusFore = QColor(255, 255, 255);
  int ItemHeight = 0;  // 0: the font's height and the insets

  void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override {
    OP_BEGIN("TPagelumeForm::ConvertListBoxDrawItem");
    OP_TRY {
      const bool selected = option.state & QStyle::State_Selected;
      const QRect r = option.rect;
      painter->save();
      painter->fillRect(r, selected ? FocusBack : Back);
      painter->setPen(selected ? FocusFore : Fore);
      painter->setFont(option.font);
      const QRect textRect = r.adjusted(3, 2, -3, -2);
      painter->setClipRect(textRect);
      painter->drawText(textRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, index.data().toString());
      painter->setClipping(false);
      painter->setPen(Fore);
      painter->drawLine(r.left(), r.bottom(), r.right(), r.bottom());
      painter->restore();
    }
    OP_CATCH;
  }

  QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.setHeight(ItemHeight > 0 ? ItemHeight : option.fontMetrics.height() + 5);
    return size;
  }
};

TConvertListDelegate *DelegateOf(QListWidget *list) {
  return list ? dynamic_cast<TConvertListDelegate *>(list->itemDelegate()) : nullptr;
}

// Sends the moves and presses of the unit lists to the window's handlers.
class TConvertListFilter : public QObject {
public:
  TConvertListFilter(TPagelumeForm *form, QListWidget *list) : QObject(list), Form(form), List(list) {}
  bool eventFilter(QObject *, QEvent *event) override {
    switch (event->type()) {
    case QEvent::MouseMove: {
      auto *mouse = static_cast<QMouseEvent *>(event);
      Form->ConvertListBoxMouseMove(List, mouse->position().toPoint(), mouse->globalPosition().toPoint());
      break;
    }
    case QEvent::MouseButtonRelease:
      // The list has selected the pressed unit by now.
      Form->ConvertListBoxMouseDown();
      break;
    case QEvent::Leave:
      QToolTip::hideText();
      break;
    case QEvent::ToolTip:
      return true;  // tool tips come at once from the moves instead
    default:
      break;
    }
    return false;
  }

private:
  TPagelumeForm *Form;
  QListWidget *List;
};

}  // namespace

// ---- Controls ----

void TPagelumeForm::BuildConverterControls() {
  auto *page = static_cast<QVBoxLayout *>(ConvertTabSheet->layout());
  ConvertTabSheet->setStatusTip(ConvertTabHint);

  ConvertMeasureEdit = new QLineEdit(ConvertTabSheet);
  ConvertMeasureEdit->setObjectName("ConvertMeasureEdit");
  ConvertMeasureEdit->setStatusTip(ConvertTabHint);
  auto *caption = new QLabel("Value to be converted", ConvertTabSheet);
  caption->setBuddy(ConvertMeasureEdit);
  page->addWidget(caption);
  page->addWidget(ConvertMeasureEdit);

  ConvertPageControl = new QTabWidget(ConvertTabSheet);
  ConvertPageControl->setObjectName("ConvertPageControl");
  page->addWidget(ConvertPageControl, 1);

  QListWidget **lists[mqCount] = {&LengthListBox, &SpeedListBox,  &AreaListBox,
                                  &VolumeListBox, &WeightListBox, &TemperatureListBox};
  for (int32_t q = 0; q < mqCount; ++q) {
    const QString name = MeasureQuantityName(q);
    auto *sheet = new QWidget;
    sheet->setObjectName(name + "TabSheet");
    auto *layout = new QVBoxLayout(sheet);
    layout->setContentsMargins(2, 2, 2, 2);
    auto *list = new QListWidget(sheet);
    list->setObjectName(name + "ListBox");
    list->setStatusTip(ConvertTabHint);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setUniformItemSizes(true);
    list->setMouseTracking(true);
    list->setFrameShape(QFrame::Box);
    list->setItemDelegate(new TConvertListDelegate(list));
    for (const TMeasureUnit &unit : MeasureUnits(q))
      list->addItem(Text(unit.Name));
    list->setCurrentRow(StoredMeasureUnit(q, ""));
    list->viewport()->installEventFilter(new TConvertListFilter(this, list));
    layout->addWidget(list);
    ConvertPageControl->addTab(sheet, name);
    *lists[q] = list;
  }
  LengthTabSheet = ConvertPageControl->widget(mqLength);

  auto *miscSheet = new QWidget;
  miscSheet->setObjectName("MiscConvertTabSheet");
  auto *miscLayout = new QVBoxLayout(miscSheet);
  miscLayout->setContentsMargins(2, 2, 2, 2);
  MiscMemo = new QPlainTextEdit(miscSheet);
  MiscMemo->setObjectName("MiscMemo");
  MiscMemo->setReadOnly(true);
  MiscMemo->setStatusTip(ConvertTabHint);
  miscLayout->addWidget(MiscMemo);
  ConvertPageControl->addTab(miscSheet, "Misc");
  // Seven captions do not fit the sidebar's width in one row: two rows show them whole.
  page->insertWidget(page->indexOf(ConvertPageControl), new TTabRows(ConvertPageControl, {4, 3}, ConvertTabSheet));

  SetConverterColors(QColor(255, 255, 255), QColor(0, 0, 0), QColor(185, 110, 25), QColor(255, 255, 255));
  MiscConvertMeasure(0);

  connect(ConvertMeasureEdit, &QLineEdit::textChanged, this, &TPagelumeForm::ConvertMeasureEditChange);
  connect(Container_OptionsPageControl, &QTabWidget::currentChanged, this, [this](int index) {
    if (Container_OptionsPageControl->widget(index) == ConvertTabSheet)
      ConvertMeasureTabSheetShow();
  });
}

QListWidget *TPagelumeForm::ConvertListBox(int32_t quantity) const {
  switch (quantity) {
  case mqLength:
    return LengthListBox;
  case mqSpeed:
    return SpeedListBox;
  case mqArea:
    return AreaListBox;
  case mqVolume:
    return VolumeListBox;
  case mqWeight:
    return WeightListBox;
  case mqTemperature:
    return TemperatureListBox;
  default:
    return nullptr;
  }
}

void TPagelumeForm::SetConverterColors(const QColor &screenBack, const QColor &screenFore, const QColor &focusBack,
                                       const QColor &focusFore) {
  auto paint = [&](QWidget *w) {
    QPalette palette = w->palette();
    palette.setColor(QPalette::Base, screenBack);
    palette.setColor(QPalette::Text, screenFore);
    w->setPalette(palette);
  };
  for (int32_t q = 0; q < mqCount; ++q) {
    QListWidget *list = ConvertListBox(q);
    if (TConvertListDelegate *delegate = DelegateOf(list)) {
      delegate->Back = screenBack;
      delegate->Fore = screenFore;
      delegate->FocusBack = focusBack;
      delegate->FocusFore = focusFore;
    }
    paint(list);
    list->viewport()->update();
  }
  paint(MiscMemo);
}

void TPagelumeForm::SetConverterItemHeight(int height) {
  for (int32_t q = 0; q < mqCount; ++q)
    if (TConvertListDelegate *delegate = DelegateOf(ConvertListBox(q))) {
      delegate->ItemHeight = height;
      ConvertListBox(q)->doItemsLayout();
    }
}

// ---- Selected units (kept in the settings file) ----

QString TPagelumeForm::SelectedUnitText(int32_t quantity) const {
  QListWidget *list = ConvertListBox(quantity);
  if (!list || list->selectedItems().isEmpty())
    return QString();
  return list->selectedItems().first()->text();
}

void TPagelumeForm::SelectUnitByText(int32_t quantity, const QString &text) {
  if (QListWidget *list = ConvertListBox(quantity))
    list->setCurrentRow(StoredMeasureUnit(quantity, text.toStdString()));
}

void TPagelumeForm::ApplyConvertMeasureUnits() {
  for (int32_t q = 0; q < mqCount; ++q)
    SelectUnitByText(q, ConvertMeasureUnits.value(q));
}

void TPagelumeForm::CollectConvertMeasureUnits() {
  ConvertMeasureUnits.clear();
  for (int32_t q = 0; q < mqCount; ++q)
    ConvertMeasureUnits << SelectedUnitText(q);
}

// ---- The value ----

double TPagelumeForm::ConvertValue() const {
  bool invalid = false;
  const double value = GetRealFromText(ConvertMeasureEdit->text().toStdString(), &invalid);
  return invalid ? 0 : value;
}

QString TPagelumeForm::GetNumberAtCharIndex(TRichEdit *richBox, int32_t charIndex) {
  if (!richBox || charIndex < 0)
    return QString();
  // The display line under the pointer, found without counting the book's lines.
  int32_t start = 0, end = 0;
  richBox->LineRangeOf(charIndex, start, end);
  std::u16string text = richBox->TextRange(start, end - start);
  while (!text.empty() && (text.back() == u'\r' || text.back() == u'\n'))
    text.pop_back();
  return Text(GetNumberInLine(text, charIndex - start, MeasureDecimalCharacter()));
}

bool TPagelumeForm::ShowConvertMeasure(int32_t charIndex) {
  OP_BEGIN("TPagelumeForm::ShowConvertMeasure");
  bool result = false;
  OP_TRY {
    const QString text = GetNumberAtCharIndex(RichEdit, charIndex);
    if (text.isEmpty()) {
      HintLabel->setText(RichEditHint);
      return result;
    }
    double value = 0;
    if (!ParseMeasureNumber(text.toStdString(), MeasureDecimalCharacter(), value)) {
      OP_RAISE("Invalid number.", text.toStdString());
    } else {
      // The box reads "." as the decimal point, so the number is written with one.
      ConvertMeasureEdit->setText(QString::number(value, 'g', 15));
      HintLabel->setText(Text(ShortConvertMeasure(ConvertValue())));
      result = true;
    }
  }
  OP_CATCH;
  if (OP_FAILED())
    HintLabel->setText("Failed to convert measure.");
  return result;
}

QString TPagelumeForm::FullConvertMeasure(QListWidget *list, int pointedIndex, double value) {
  int32_t quantity = mqCount;
  for (int32_t q = 0; q < mqCount; ++q)
    if (list && list == ConvertListBox(q))
      quantity = q;
  QListWidgetItem *pointed = list ? list->item(pointedIndex) : nullptr;
  const std::string source = pointed ? pointed->text().toStdString() : std::string();
  return Text(::FullConvertMeasure(quantity, source, SelectedUnitText(quantity).toStdString(), value));
}

void TPagelumeForm::MiscConvertMeasure(double value) {
  MiscMemo->clear();
  for (const std::string &line : ::MiscConvertMeasure(value))
    MiscMemo->appendPlainText(Text(line));
  MiscMemo->moveCursor(QTextCursor::Start);
}

// ---- Handlers ----

void TPagelumeForm::ConvertMeasureRichEditMouseMove(int32_t charIndex) {
  // A book load disables the options and lets moves in once a second: the
  // text is not laid out yet, and the load must not wait for it.
  if (!Container_OptionsPageControl->isEnabled())
    return;
  // Failures show in the hint label only: a dialog on every move would stop
  // reading. The shared context is left as it was found.
  const TFunStatContext saved = FunStatContext;
  if (ShowConvertMeasure(charIndex))
    MiscConvertMeasure(ConvertValue());
  FunStatContext = saved;
}

void TPagelumeForm::ConvertMeasureRichEditRightClick(int32_t charIndex) {
  const TFunStatContext saved = FunStatContext;
  if (ShowConvertMeasure(charIndex))
    MiscConvertMeasure(ConvertValue());
  FunStatContext = saved;
  Container_OptionsPageControl->setCurrentWidget(ConvertTabSheet);
  ConvertPageControl->setCurrentWidget(LengthTabSheet);
  ShowSidebar(false);
  Container_MainPanel->layout()->activate();
  ConvertTabSheet->layout()->activate();
  QCursor::setPos(LengthTabSheet->mapToGlobal(QPoint(LengthTabSheet->width() / 2, 0)));
}

void TPagelumeForm::ConvertMeasureTabSheetShow() { FocusConverterValue(); }

void TPagelumeForm::ConvertListBoxMouseDown() { FocusConverterValue(); }

void TPagelumeForm::FocusConverterValue() {
  if (ConvertMeasureEdit && ConvertMeasureEdit->isVisible())
    ConvertMeasureEdit->setFocus(Qt::OtherFocusReason);
}

void TPagelumeForm::ConvertMeasureEditChange() { MiscConvertMeasure(ConvertValue()); }

void TPagelumeForm::ConvertListBoxMouseMove(QListWidget *list, const QPoint &pos, const QPoint &globalPos) {
  QListWidgetItem *item = list->itemAt(pos);
  const TFunStatContext saved = FunStatContext;
  const QString hint = item ? FullConvertMeasure(list, list->row(item), ConvertValue()) : QString(" ");
  FunStatContext = saved;
  list->setToolTip(hint);
  if (item)
    QToolTip::showText(globalPos, hint, list->viewport(), list->visualItemRect(item));
  else
    QToolTip::hideText();
}

// ---- The reading box's call-outs ----

void TPagelumeForm::WireReadingAids() {
  Reading->Callouts.ConverterMouseMove = [this](int32_t charPos) { ConvertMeasureRichEditMouseMove(charPos); };
  Reading->Callouts.ConverterRightClick = [this](int32_t charPos) { ConvertMeasureRichEditRightClick(charPos); };
  Reading->Callouts.DictionaryLookUp = [this] { LookUpWord(); };
}
