#pragma once

#include <QList>
#include <QSize>
#include <QString>
#include <QWidget>

#include <functional>

class QPushButton;
class QScrollArea;

namespace zn {

struct PrivacySection
{
    QString heading;
    QString text;
};

// The five promises, in order, shown verbatim.
const QList<PrivacySection> &privacySections();
QString privacyRequirementsNote();

// What the application does with the journal, in five short sections under
// a "Privacy Promise" header with "Done", and the system requirements below.
// Only the sections scroll. "Done" (also Return) runs `onDone`, which closes
// the sheet the view is shown in.
class PrivacyPromiseView : public QWidget
{
    Q_OBJECT
public:
    static constexpr QSize kMinimumSize{440, 360};

    explicit PrivacyPromiseView(std::function<void()> onDone, QWidget *parent = nullptr);

    QPushButton *doneButton() const { return m_done; }
    QScrollArea *sectionsArea() const { return m_scroll; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void applyColours();

    std::function<void()> m_onDone;
    QPushButton *m_done;
    QScrollArea *m_scroll;
};

} // namespace zn
