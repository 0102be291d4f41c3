#include "views/workspace/detail/DraftEditor.h"

#include "app/marks/TextStyles.h"
#include "app/theme/ThemeScope.h"
#include "core/EditorSession.h"
#include "core/TextUnits.h"
#include "views/workspace/detail/DetailPresenter.h"

#include <QTextBlockFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>

namespace zn {
namespace {

constexpr qreal kLineSpacing = 6;
constexpr qreal kBottomPadding = 28;
constexpr qreal kTopPadding = 4;
// Longer entries open with the cursor at their start (see replaceAll).
constexpr qsizetype kCursorAtEndLimit = 100'000;

} // namespace

DraftEditor::DraftEditor(EditorSession &session, qreal measureMax, QWidget *parent)
    : QTextEdit(parent), m_session(session), m_measureMax(measureMax)
{
    setAcceptRichText(false);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    const QFont font = textStyleFont(TextStyle::Body);
    setFont(font);
    document()->setDefaultFont(font);
    viewport()->setAutoFillBackground(false);
    setAutoFillBackground(false);
    connect(this, &QTextEdit::textChanged, this, &DraftEditor::onWidgetTextChanged);
    connect(&session, &EditorSession::draftTextChanged, this, &DraftEditor::onSessionTextChanged);
    updateInset();
}

void DraftEditor::setBound(bool bound)
{
    if (m_bound == bound)
        return;
    m_bound = bound;
    if (!bound)
        return;
    m_identity = sessionIdentity();
    if (m_session.draftText() != m_shown || document()->isEmpty() != m_shown.isEmpty())
        replaceAll(m_session.draftText());
}

std::optional<QUuid> DraftEditor::sessionIdentity() const
{
    // A committed draft keeps its id as the entry's, so the first save of a
    // new entry does not count as another entry.
    if (const auto selected = m_session.selectedEntryID())
        return selected;
    return m_session.draftRowID();
}

QString DraftEditor::documentText() const
{
    // Raw text keeps no-break spaces; only the block breaks need mapping.
    QString text = document()->toRawText();
    for (QChar &c : text) {
        if (c == QChar::ParagraphSeparator || c == QChar::LineSeparator)
            c = u'\n';
    }
    return text;
}

void DraftEditor::onWidgetTextChanged()
{
    if (m_applying || !m_bound)
        return;
    const QString text = documentText();
    if (text == m_shown)
        return; // a format change only
    m_shown = text;
    m_session.setDraftText(text);
}

void DraftEditor::onSessionTextChanged(const QString &text)
{
    if (!m_bound || text == m_shown)
        return;
    const auto identity = sessionIdentity();
    if (identity != m_identity) {
        m_identity = identity;
        replaceAll(text);
        return;
    }
    // A save trimmed the blanks around what is on screen: keep them there.
    if (text == text::trimmed(m_shown))
        return;
    applyMinimalEdit(text);
}

void DraftEditor::replaceAll(const QString &text)
{
    m_applying = true;
    // One edit with the undo history off: the text, its line spacing and the
    // cursor reach the layout together, which then lays the text out lazily
    // as it is shown. Spacing the lines in an edit of its own, or placing a
    // cursor outside one, would lay out the whole text at once.
    QTextDocument *doc = document();
    doc->setUndoRedoEnabled(false);
    QTextCursor cursor(doc);
    cursor.beginEditBlock();
    doc->setPlainText(text);
    cursor.select(QTextCursor::Document);
    cursor.mergeBlockFormat(blockFormat());
    // Writing goes on at the end; a very long entry opens at its start,
    // since showing its end means laying out everything before it.
    cursor.movePosition(text.size() <= kCursorAtEndLimit ? QTextCursor::End : QTextCursor::Start);
    cursor.endEditBlock();
    doc->setUndoRedoEnabled(true);
    updateInset();
    m_shown = documentText();
    setTextCursor(cursor);
    m_applying = false;
}

void DraftEditor::applyMinimalEdit(const QString &text)
{
    const QString &old = m_shown;
    qsizetype prefix = 0;
    const qsizetype shorter = std::min(old.size(), text.size());
    while (prefix < shorter && old.at(prefix) == text.at(prefix))
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < shorter - prefix && old.at(old.size() - 1 - suffix) == text.at(text.size() - 1 - suffix))
        ++suffix;
    // Never split a surrogate pair.
    if (prefix > 0 && old.at(prefix - 1).isHighSurrogate())
        --prefix;
    if (suffix > 0 && old.at(old.size() - suffix).isLowSurrogate())
        --suffix;

    m_applying = true;
    // A cursor of its own: the user's cursor moves with the text around it.
    QTextCursor edit(document());
    edit.setPosition(int(prefix));
    edit.setPosition(int(old.size() - suffix), QTextCursor::KeepAnchor);
    edit.insertText(text.mid(prefix, text.size() - suffix - prefix));
    m_shown = documentText();
    m_applying = false;
    if (m_shown != text) // the document normalised something; the session follows
        m_session.setDraftText(m_shown);
}

QTextBlockFormat DraftEditor::blockFormat()
{
    QTextBlockFormat format;
    format.setLineHeight(kLineSpacing, QTextBlockFormat::LineDistanceHeight);
    return format;
}

void DraftEditor::updateInset()
{
    const qreal inset = detail::editorSideInset(width(), m_measureMax);
    QTextFrame *root = document()->rootFrame();
    QTextFrameFormat format = root->frameFormat();
    if (m_inset == inset && format.leftMargin() == inset && format.bottomMargin() == kBottomPadding)
        return;
    m_inset = inset;
    format.setLeftMargin(inset);
    format.setRightMargin(inset);
    format.setTopMargin(kTopPadding);
    format.setBottomMargin(kBottomPadding);
    const bool wasApplying = m_applying;
    m_applying = true;
    root->setFrameFormat(format);
    m_applying = wasApplying;
}

void DraftEditor::resizeEvent(QResizeEvent *event)
{
    QTextEdit::resizeEvent(event);
    updateInset();
}

void DraftEditor::paintEvent(QPaintEvent *event)
{
    // The paper shows through; the text takes the theme's ink.
    const ZephyrTheme theme = ThemeScope::themeFor(this);
    QPalette palette = this->palette();
    if (palette.color(QPalette::Text) != theme.ink() || palette.color(QPalette::Base) != QColor(Qt::transparent)) {
        palette.setColor(QPalette::Text, theme.ink());
        palette.setColor(QPalette::Base, Qt::transparent);
        setPalette(palette);
    }
    QTextEdit::paintEvent(event);
}

} // namespace zn
