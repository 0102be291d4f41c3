#include "views/settings/SettingsTabs.h"

#include "app/marks/TextStyles.h"
#include "app/settings/AppSettings.h"
#include "app/shell/CloudSyncStatus.h"
#include "exchange/ImportActivity.h"
#include "reflections/CapabilityDetector.h"
#include "views/kit/Mnemonics.h"
#include "views/settings/SettingsForm.h"
#include "views/settings/SettingsModel.h"
#include "views/settings/SettingsTexts.h"
#include "views/workspace/detail/DetailWidgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace zn {

using namespace settings_texts;

namespace {

QVBoxLayout *fill(QWidget *tab, FormPage *page)
{
    auto *layout = new QVBoxLayout(tab);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(page);
    return layout;
}

InkLabel *valueLabel(const QString &text = {})
{
    auto *label = new InkLabel(text, textStyleFont(TextStyle::Body), InkRole::InkSecondary);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

QPushButton *formButton(const QString &title)
{
    auto *button = new QPushButton(literalMnemonicText(title));
    button->setAutoDefault(false);
    button->setCursor(Qt::PointingHandCursor);
    // Room around the title, as a form button has on any desktop style.
    button->setMinimumSize(button->sizeHint() + QSize(20, 6));
    return button;
}

} // namespace

// --- General --------------------------------------------------------------------

GeneralTab::GeneralTab(QWidget *parent) : QWidget(parent)
{
    auto *page = new FormPage;
    auto *section = new FormSection;
    // Shown, never chosen: the journal always opens on the timeline, and
    // the stored landing value is neither read nor written here.
    section->addRow(QStringLiteral("Default landing"), valueLabel(QStringLiteral("Timeline")));
    section->addCaption(QStringLiteral("Opens on your full journal. Use the sidebar calendar to focus a single day."));
    page->addSection(section);
    fill(this, page);
}

// --- Appearance -----------------------------------------------------------------

AppearanceTab::AppearanceTab(SettingsModel &model, QWidget *parent)
    : QWidget(parent), m_model(model), m_appearance(new QComboBox), m_palette(new QComboBox)
{
    for (const AppearancePreference appearance : allAppearancePreferences())
        m_appearance->addItem(appearanceTitle(appearance), QVariant::fromValue(int(appearance)));
    for (const ColorPalettePreference palette : allColorPalettePreferences())
        m_palette->addItem(paletteTitle(palette), QVariant::fromValue(int(palette)));
    m_appearance->setMinimumWidth(140);
    m_palette->setMinimumWidth(140);

    auto *page = new FormPage;
    auto *section = new FormSection;
    section->addRow(QStringLiteral("Appearance"), m_appearance);
    section->addRow(QStringLiteral("Color climate"), m_palette);
    m_caption = section->addCaption({});
    section->addCaption(QStringLiteral("Warm and Cool climates are fully supported. Increase Contrast and Reduce "
                                       "Transparency use calmer solid surfaces automatically."));
    page->addSection(section);
    fill(this, page);

    AppSettings *settings = model.services().settings;
    // Only a person's choice writes; a change made elsewhere just moves
    // the pickers (activated is not emitted for that).
    connect(m_appearance, &QComboBox::activated, this, [this, settings](int index) {
        if (settings)
            settings->setAppearance(AppearancePreference(m_appearance->itemData(index).toInt()));
    });
    connect(m_palette, &QComboBox::activated, this, [this, settings](int index) {
        if (settings)
            settings->setPalette(ColorPalettePreference(m_palette->itemData(index).toInt()));
    });
    if (settings) {
        connect(settings, &AppSettings::appearanceChanged, this, &AppearanceTab::sync);
        connect(settings, &AppSettings::paletteChanged, this, &AppearanceTab::sync);
    }
    sync();
}

void AppearanceTab::sync()
{
    const AppSettings *settings = m_model.services().settings;
    if (!settings)
        return;
    m_appearance->setCurrentIndex(m_appearance->findData(int(settings->appearance())));
    m_palette->setCurrentIndex(m_palette->findData(int(settings->palette())));
    m_caption->setText(settings_texts::paletteCaption(settings->palette()));
}

// --- Intelligence ---------------------------------------------------------------

IntelligenceTab::IntelligenceTab(SettingsModel &model, QWidget *parent)
    : QWidget(parent)
    , m_model(model)
    , m_toggle(new QCheckBox(enhancedAnalysisTitle()))
    , m_status(new ToneLabel)
    , m_address(valueLabel())
    , m_answer(new ToneLabel)
    , m_refresh(formButton(QStringLiteral("Refresh status")))
{
    auto *page = new FormPage;

    auto *analysis = new FormSection;
    analysis->addWidget(m_toggle);
    analysis->addCaption(QStringLiteral("When available, reflections run on-device only and never block saving. "
                                        "Basic weather mood always uses on-device NLP."));
    page->addSection(analysis);

    auto *status = new FormSection(modelStatusHeader());
    status->addRow(QStringLiteral("Status"), m_status);
    m_detail = status->addCaption({});
    status->addRow(QStringLiteral("System"), valueLabel(CapabilityDetector::operatingSystemName()));
    status->addRow(QStringLiteral("Architecture"), valueLabel(architectureLabel()));
    status->addRow(QStringLiteral("Model server"), m_address);
    status->addRow(QStringLiteral("Server"), m_answer);
    status->addWidget(m_refresh, Qt::AlignLeft);
    page->addSection(status);

    auto *wrong = new FormSection(QStringLiteral("If something looks wrong"));
    wrong->addCaption(modelRequirementCaption());
    page->addSection(wrong);
    fill(this, page);

    AppSettings *settings = model.services().settings;
    connect(m_toggle, &QCheckBox::clicked, this, [settings](bool on) {
        if (settings)
            settings->setEnhancedAnalysisEnabled(on);
    });
    connect(m_refresh, &QPushButton::clicked, &m_model, &SettingsModel::refreshCapability);
    if (settings)
        connect(settings, &AppSettings::enhancedAnalysisEnabledChanged, this, &IntelligenceTab::sync);
    if (CapabilityDetector *capability = model.services().capability) {
        connect(capability, &CapabilityDetector::availabilityChanged, this, &IntelligenceTab::sync);
        connect(capability, &CapabilityDetector::statusDetailChanged, this, &IntelligenceTab::sync);
        connect(capability, &CapabilityDetector::modelStateChanged, this, &IntelligenceTab::sync);
    }
    sync();
}

void IntelligenceTab::sync()
{
    if (const AppSettings *settings = m_model.services().settings)
        m_toggle->setChecked(settings->enhancedAnalysisEnabled());
    // The status reflects the platform, never the switch above it.
    const CapabilityDetector *capability = m_model.services().capability;
    m_status->setStatus(
        availabilityStatus(capability ? capability->availability() : CapabilityDetector::Availability::FrameworkUnavailable));
    m_detail->setText(capability ? capability->statusDetail() : QString());
    m_detail->setVisible(!m_detail->text().isEmpty());
    m_address->setText(capability ? capability->modelAddress() : QString());
    m_answer->setStatus(settings_texts::serverAnswer(capability ? capability->modelState() : std::nullopt));
}

// --- Privacy --------------------------------------------------------------------

PrivacyTab::PrivacyTab(SettingsModel &model, QWidget *parent)
    : QWidget(parent), m_model(model), m_account(new ToneLabel), m_store(valueLabel())
{
    auto *page = new FormPage;

    auto *promise = new FormSection(QStringLiteral("Promise"));
    auto *text = new InkLabel(privacyPromiseSummary(), textStyleFont(TextStyle::Body), InkRole::Ink);
    text->setWordWrap(true);
    promise->addWidget(text);
    auto *read = formButton(QStringLiteral("Read full Privacy Promise…"));
    connect(read, &QPushButton::clicked, &m_model, &SettingsModel::showPrivacyPromise);
    promise->addWidget(read, Qt::AlignLeft);
    page->addSection(promise);

    auto *cloud = new FormSection(cloudSectionHeader());
    cloud->addRow(QStringLiteral("Status"), m_account);
    cloud->addRow(QStringLiteral("Store"), m_store);
    m_detail = cloud->addCaption(settings_texts::accountDetail());
    m_note = cloud->addCaption({});
    // No refresh button: there is no cloud account to ask about here.
    page->addSection(cloud);

    auto *data = new FormSection(QStringLiteral("Your data"));
    auto *exportButton = formButton(QStringLiteral("Export Journal…"));
    connect(exportButton, &QPushButton::clicked, &m_model, &SettingsModel::exportJournal);
    data->addWidget(exportButton, Qt::AlignLeft);
    data->addCaption(QStringLiteral("Creates a JSON file (formatVersion 1) only where you choose. Nothing is uploaded."));
    auto *importButton = formButton(QStringLiteral("Import Journal…"));
    connect(importButton, &QPushButton::clicked, &m_model, &SettingsModel::importJournal);
    data->addWidget(importButton, Qt::AlignLeft);
    // A long import says that it works; the button waits for it.
    const ImportActivity &imports = model.importActivity();
    auto *importing = new BusyNote(QStringLiteral("Importing journal…"));
    importing->setVisible(false);
    data->addWidget(importing, Qt::AlignLeft);
    connect(&imports, &ImportActivity::showsProgressChanged, importing, &QWidget::setVisible);
    connect(&imports, &ImportActivity::runningChanged, importButton,
            [importButton](bool running) { importButton->setEnabled(!running); });
    data->addCaption(importCaption());
    auto *deleteButton = formButton(QStringLiteral("Delete All Journal Data…"));
    deleteButton->setProperty("destructive", true);
    QPalette red = deleteButton->palette();
    red.setColor(QPalette::ButtonText, QColor(215, 58, 50));
    deleteButton->setPalette(red);
    connect(deleteButton, &QPushButton::clicked, &m_model, &SettingsModel::requestDeleteAll);
    data->addWidget(deleteButton, Qt::AlignLeft);
    data->addCaption(deleteAllCaption());
    page->addSection(data);
    fill(this, page);

    m_account->setStatus(accountStatus());
    m_store->setText(storeLabel());
    if (CloudSyncStatus *cloudSync = model.services().cloudSync)
        connect(cloudSync, &CloudSyncStatus::storeNoteChanged, this, &PrivacyTab::sync);
    sync();
}

QPushButton *PrivacyTab::button(const QString &title) const
{
    for (QPushButton *button : findChildren<QPushButton *>())
        if (button->text() == title)
            return button;
    return nullptr;
}

void PrivacyTab::sync()
{
    const CloudSyncStatus *cloudSync = m_model.services().cloudSync;
    const std::optional<QString> note = cloudSync ? cloudSync->storeNote() : std::nullopt;
    m_note->setText(note.value_or(QString()));
    m_note->setVisible(note.has_value());
}

} // namespace zn
