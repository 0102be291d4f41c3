#pragma once

#include <QWidget>

#include <functional>

namespace zn {

class DetailButton;
class InkLabel;

// The calm panel shown where no entry is open: a book in a soft circle, a
// title, a message and the ways to begin, Write and (when an action is
// given) Voice. Title and message are shown as given.
class EmptyDeskView : public QWidget
{
    Q_OBJECT
public:
    EmptyDeskView(const QString &title, const QString &message, std::function<void()> onNewEntry,
                  std::function<void()> onVoice = {}, QWidget *parent = nullptr);

    QString title() const { return m_title; }
    QString message() const { return m_message; }
    DetailButton *writeButton() const { return m_write; }
    // Null when no Voice action was given.
    DetailButton *voiceButton() const { return m_voice; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    QString m_title;
    QString m_message;
    InkLabel *m_messageLabel;
    DetailButton *m_write;
    DetailButton *m_voice = nullptr;
};

} // namespace zn
