#include "views/workspace/detail/ReadingPage.h"

#include "app/marks/MarkWidgets.h"
#include "app/theme/ThemeScope.h"
#include "core/EditorSession.h"
#include "core/EntryText.h"
#include "core/JournalEntry.h"
#include "views/kit/FlowLayout.h"
#include "views/kit/FocusRing.h"
#include "views/workspace/detail/DetailWidgets.h"
#include "views/workspace/detail/InsightCardView.h"

#include <QPainter>
#include <QVBoxLayout>

namespace zn {
namespace {

// The faint rule above the keyword row.
class Divider : public QWidget
{
public:
    explicit Divider(QWidget *parent) : QWidget(parent) { setFixedHeight(1); }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        QColor line = ThemeScope::themeFor(this).inkTertiary();
        line.setAlphaF(line.alphaF() * 0.35f);
        painter.fillRect(rect(), line);
    }
};

QVBoxLayout *column(QWidget *host, int spacing)
{
    auto *layout = new QVBoxLayout(host);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    return layout;
}

} // namespace

ReadingPage::ReadingPage(CapabilityDetector *capability, qreal measureMax, QWidget *parent)
    : PaperPage(measureMax, 40, 36, parent)
{
    auto *content = new QWidget;
    m_stack = column(content, 28);

    m_dateBlock = new QWidget(content);
    auto *dates = column(m_dateBlock, 4);
    m_weekday = new InkLabel({}, textStyleFont(TextStyle::Title2, FontWeight::Medium), InkRole::Ink, m_dateBlock);
    m_date = new InkLabel({}, textStyleFont(TextStyle::Title3), InkRole::InkSecondary, m_dateBlock);
    m_time = new InkLabel({}, textStyleFont(TextStyle::Subheadline), InkRole::InkTertiary, m_dateBlock);
    for (InkLabel *line : {m_weekday, m_date, m_time})
        dates->addWidget(line);
    m_stack->addWidget(m_dateBlock);

    m_moodBox = new QWidget(content);
    column(m_moodBox, 0)->setContentsMargins(0, 4, 0, 4);
    m_stack->addWidget(m_moodBox);

    m_title = new ReadingText(textStyleFont(TextStyle::Title, FontWeight::Medium), InkRole::Ink, 2, content);
    m_stack->addWidget(m_title);
    m_body = new ReadingBody(textStyleFont(TextStyle::Body), InkRole::Ink, 8, content);
    m_stack->addWidget(m_body);

    m_keywordBox = new QWidget(content);
    auto *keywords = column(m_keywordBox, 8);
    keywords->addWidget(new Divider(m_keywordBox));
    QFont captionFont = textStyleFont(TextStyle::Caption, FontWeight::Semibold);
    captionFont.setLetterSpacing(QFont::AbsoluteSpacing, 0.4);
    captionFont.setCapitalization(QFont::AllUppercase);
    m_caption = new InkLabel({}, captionFont, InkRole::InkTertiary, m_keywordBox);
    keywords->addWidget(m_caption);
    m_chips = new QWidget(m_keywordBox);
    new FlowLayout(m_chips, 8, 8);
    m_chips->layout()->setContentsMargins(0, 0, 0, 0);
    keywords->addWidget(m_chips);
    m_stack->addWidget(m_keywordBox);

    m_cardBox = new QWidget(content);
    column(m_cardBox, 0)->setContentsMargins(0, 4, 0, 0);
    m_card = new InsightCardView(capability, m_cardBox);
    m_cardBox->layout()->addWidget(m_card);
    m_stack->addWidget(m_cardBox);

    setContent(content);
    // A stop of the Tab chain, where the arrows and Page keys scroll a long
    // entry; its content covers it, so the ring lies on top.
    new FocusRingOverlay(this, 0);
}

void ReadingPage::setOnRetry(std::function<void()> onRetry)
{
    m_card->setOnRetry(std::move(onRetry));
}

void ReadingPage::refresh(JournalEntry *entry, const EditorSession &editor)
{
    if (entry && entry->isDeleted())
        entry = nullptr;

    m_dateBlock->setVisible(entry != nullptr);
    if (entry) {
        const detail::DateLines lines = detail::dateLines(entry->timestamp());
        m_weekday->setText(lines.weekday);
        m_date->setText(lines.date);
        m_time->setText(lines.time);
        // Read as one element.
        m_dateBlock->setAccessibleName(QStringList{lines.weekday, lines.date, lines.time}.join(QStringLiteral(", ")));
    }

    showMood(detail::readingMood(entry ? std::optional<double>(entry->sentimentScore()) : std::nullopt,
                                 editor.liveSentiment()));

    // The editor holds the opened entry's text.
    const QString text = editor.draftText();
    m_title->setPlainTextIfChanged(entryTitle(entry ? entry->rawText() : text, detail::kTitleLimit));
    m_body->setPlainTextIfChanged(text);

    showKeywords(entry ? detail::keywordRow(*entry) : detail::KeywordRow{});

    m_cardBox->setVisible(entry != nullptr);
    m_card->setEntry(entry);
}

void ReadingPage::showMood(const detail::ReadingMood &mood)
{
    if (m_mood && m_mood->label() == mood.label && m_mood->sentiment() == mood.score)
        return;
    delete m_mood;
    m_mood = new WeatherMark(mood.label, mood.score, m_moodBox);
    m_mood->setSize(WeatherMarkSize::Large);
    m_mood->setShowTitle(true);
    m_mood->setPhrase(mood.sentence);
    m_moodBox->layout()->addWidget(m_mood);
    m_moodBox->layout()->setAlignment(m_mood, Qt::AlignLeft);
}

void ReadingPage::showKeywords(const detail::KeywordRow &row)
{
    if (row == m_keywordRow && m_keywordBox->isHidden() == row.isEmpty())
        return;
    m_keywordRow = row;
    m_keywordBox->setVisible(!row.isEmpty());
    m_caption->setText(row.caption);
    auto *flow = static_cast<FlowLayout *>(m_chips->layout());
    flow->clear();
    for (const detail::KeywordChipItem &chip : row.chips)
        flow->addWidget(new KeywordChip(chip.word, chip.emphasized, m_chips));
}

QStringList ReadingPage::dateTexts() const
{
    return {m_weekday->text(), m_date->text(), m_time->text()};
}

QString ReadingPage::titleText() const
{
    return m_title->shownText();
}

QString ReadingPage::bodyText() const
{
    return m_body->shownText();
}

} // namespace zn
