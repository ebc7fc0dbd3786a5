#include "HelpWindow.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QShortcut>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

THelpForm::THelpForm(QWidget *parent) : QWidget(parent, Qt::Window) {
  setObjectName("HelpForm");
  setWindowTitle("Pagelume - Help");
  resize(820, 680);

  auto *bar = new QHBoxLayout;
  auto addTool = [&](const char *name, const QString &text, const QString &tip) {
    auto *button = new QToolButton(this);
    button->setObjectName(name);
    button->setText(text);
    button->setToolTip(tip);
    bar->addWidget(button);
    return button;
  };
  BackButton = addTool("BackButton", "< Back", "Back to the previous topic [Alt + Left]");
  ForwardButton = addTool("ForwardButton", "Forward >", "Forward to the next topic [Alt + Right]");
  ContentsButton = addTool("ContentsButton", "Contents", "The table of contents [Alt + Home]");
  bar->addSpacing(12);
  auto *findLabel = new QLabel("&Find:", this);
  SearchEdit = new QLineEdit(this);
  SearchEdit->setObjectName("SearchEdit");
  SearchEdit->setPlaceholderText("Search the help [Ctrl + F]");
  SearchEdit->setClearButtonEnabled(true);
  findLabel->setBuddy(SearchEdit);
  bar->addWidget(findLabel);
  bar->addWidget(SearchEdit, 1);
  SearchStatusLabel = new QLabel(this);
  SearchStatusLabel->setObjectName("SearchStatusLabel");
  SearchStatusLabel->setMinimumWidth(90);
  bar->addWidget(SearchStatusLabel);

  Browser = new QTextBrowser(this);
  Browser->setObjectName("HelpBrowser");
  Browser->setOpenExternalLinks(true);  // web addresses open in the web browser

  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addLayout(bar);
  layout->addWidget(Browser, 1);

  BackButton->setEnabled(false);
  ForwardButton->setEnabled(false);
  connect(BackButton, &QToolButton::clicked, Browser, &QTextBrowser::backward);
  connect(ForwardButton, &QToolButton::clicked, Browser, &QTextBrowser::forward);
  connect(ContentsButton, &QToolButton::clicked, Browser, &QTextBrowser::home);
  connect(Browser, &QTextBrowser::backwardAvailable, BackButton, &QToolButton::setEnabled);
  connect(Browser, &QTextBrowser::forwardAvailable, ForwardButton, &QToolButton::setEnabled);
  connect(SearchEdit, &QLineEdit::textEdited, this, [this] {
    // Searching as one types starts again from the top of the current topic.
    QTextCursor c = Browser->textCursor();
    c.setPosition(c.selectionStart());
    Browser->setTextCursor(c);
    FindNext();
  });
  SearchEdit->installEventFilter(this);

  auto *find = new QShortcut(QKeySequence::Find, this);
  connect(find, &QShortcut::activated, this, [this] {
    SearchEdit->setFocus();
    SearchEdit->selectAll();
  });
  auto *next = new QShortcut(QKeySequence(Qt::Key_F3), this);
  connect(next, &QShortcut::activated, this, [this] { FindNext(); });
  auto *previous = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F3), this);
  connect(previous, &QShortcut::activated, this, [this] { FindNext(true); });
  auto *home = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Home), this);
  connect(home, &QShortcut::activated, Browser, &QTextBrowser::home);
  auto *close = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  connect(close, &QShortcut::activated, this, &QWidget::close);
}

bool THelpForm::ShowContext(const QString &helpFile, int context) {
  if (!QFileInfo(helpFile).isFile())
    return false;
  QUrl url = QUrl::fromLocalFile(QFileInfo(helpFile).absoluteFilePath());
  if (context != 0)
    url.setFragment(QString::number(context));
  Browser->setSource(url);
  if (context == 0)
    Browser->verticalScrollBar()->setValue(0);
  return true;
}

bool THelpForm::FindNext(bool backward) {
  const QString text = SearchEdit->text();
  if (text.isEmpty()) {
    SearchStatusLabel->clear();
    return false;
  }
  QTextDocument::FindFlags flags;
  if (backward)
    flags |= QTextDocument::FindBackward;
  QTextDocument *doc = Browser->document();
  QTextCursor found = doc->find(text, Browser->textCursor(), flags);
  if (found.isNull()) {  // once round from the other end
    QTextCursor from(doc);
    if (backward)
      from.movePosition(QTextCursor::End);
    found = doc->find(text, from, flags);
  }
  if (found.isNull()) {
    SearchStatusLabel->setText("Not found");
    return false;
  }
  SearchStatusLabel->clear();
  Browser->setTextCursor(found);
  Browser->ensureCursorVisible();
  return true;
}

bool THelpForm::eventFilter(QObject *watched, QEvent *event) {
  if (watched == SearchEdit && event->type() == QEvent::KeyPress) {
    auto *key = static_cast<QKeyEvent *>(event);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
      FindNext(key->modifiers() & Qt::ShiftModifier);
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}
