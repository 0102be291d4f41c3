#pragma once

#include <QWidget>

namespace zn {

// A quiet page with a symbol, a title and one line, for a screen that is
// not in this build yet.
class PlaceholderPage : public QWidget
{
    Q_OBJECT
public:
    PlaceholderPage(const QString &symbol, const QString &title, const QString &message,
                    QWidget *parent = nullptr);

    QString title() const { return m_title; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_symbol;
    QString m_title;
    QString m_message;
};

} // namespace zn
