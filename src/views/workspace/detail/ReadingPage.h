#pragma once

#include "app/theme/PaperPage.h"
#include "views/workspace/detail/DetailPresenter.h"

#include <functional>

class QLabel;
class QVBoxLayout;

namespace zn {

class CapabilityDetector;
class EditorSession;
class InkLabel;
class InsightCardView;
class JournalEntry;
class ReadingBody;
class ReadingText;
class WeatherMark;

// The typeset page of a saved entry: date, mood mark and sentence, title,
// body, the keyword row and the reflection card. Without an entry only the
// mood (of the live score), the title and the body (of the editor's text)
// show.
class ReadingPage : public PaperPage
{
    Q_OBJECT
public:
    ReadingPage(CapabilityDetector *capability, qreal measureMax, QWidget *parent = nullptr);

    // Shows `entry` (null: none) with the editor's text and live mood.
    void refresh(JournalEntry *entry, const EditorSession &editor);
    void setOnRetry(std::function<void()> onRetry);

    // The parts, for the window's tests and accessibility checks.
    QWidget *dateBlock() const { return m_dateBlock; }
    QStringList dateTexts() const;
    WeatherMark *moodMark() const { return m_mood; }
    QString titleText() const;
    QString bodyText() const;
    ReadingBody *body() const { return m_body; }
    QWidget *keywordRowWidget() const { return m_keywordBox; }
    const detail::KeywordRow &keywordRow() const { return m_keywordRow; }
    InsightCardView *insightCard() const { return m_card; }

private:
    void showMood(const detail::ReadingMood &mood);
    void showKeywords(const detail::KeywordRow &row);

    QVBoxLayout *m_stack;
    QWidget *m_dateBlock;
    InkLabel *m_weekday;
    InkLabel *m_date;
    InkLabel *m_time;
    QWidget *m_moodBox;
    WeatherMark *m_mood = nullptr;
    ReadingText *m_title;
    ReadingBody *m_body;
    QWidget *m_keywordBox;
    InkLabel *m_caption;
    QWidget *m_chips;
    detail::KeywordRow m_keywordRow;
    QWidget *m_cardBox;
    InsightCardView *m_card;
};

} // namespace zn
