#pragma once

#include <QWidget>

class QCheckBox;
class QComboBox;
class QPushButton;

namespace zn {

class FormPage;
class InkLabel;
class SettingsModel;
class ToneLabel;

// The four tabs of the settings window. Each reads its values live from
// the model's services and writes through their setters at once.
class GeneralTab : public QWidget
{
    Q_OBJECT
public:
    explicit GeneralTab(QWidget *parent = nullptr);
};

class AppearanceTab : public QWidget
{
    Q_OBJECT
public:
    explicit AppearanceTab(SettingsModel &model, QWidget *parent = nullptr);
    QComboBox *appearancePicker() const { return m_appearance; }
    QComboBox *palettePicker() const { return m_palette; }
    InkLabel *paletteCaption() const { return m_caption; }

private:
    void sync();

    SettingsModel &m_model;
    QComboBox *m_appearance;
    QComboBox *m_palette;
    InkLabel *m_caption;
};

class IntelligenceTab : public QWidget
{
    Q_OBJECT
public:
    explicit IntelligenceTab(SettingsModel &model, QWidget *parent = nullptr);
    QCheckBox *enhancedAnalysisToggle() const { return m_toggle; }
    ToneLabel *statusValue() const { return m_status; }
    InkLabel *statusDetail() const { return m_detail; }
    InkLabel *serverAddress() const { return m_address; }
    ToneLabel *serverAnswer() const { return m_answer; }
    QPushButton *refreshButton() const { return m_refresh; }

private:
    void sync();

    SettingsModel &m_model;
    QCheckBox *m_toggle;
    ToneLabel *m_status;
    InkLabel *m_address;
    ToneLabel *m_answer;
    InkLabel *m_detail;
    QPushButton *m_refresh;
};

class PrivacyTab : public QWidget
{
    Q_OBJECT
public:
    explicit PrivacyTab(SettingsModel &model, QWidget *parent = nullptr);
    ToneLabel *accountValue() const { return m_account; }
    InkLabel *storeValue() const { return m_store; }
    InkLabel *accountDetail() const { return m_detail; }
    InkLabel *storeNote() const { return m_note; }
    QPushButton *button(const QString &title) const;

private:
    void sync();

    SettingsModel &m_model;
    ToneLabel *m_account;
    InkLabel *m_store;
    InkLabel *m_detail;
    InkLabel *m_note;
};

} // namespace zn
