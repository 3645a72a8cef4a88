#include "app/MainUnit.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QVBoxLayout>
#include <filesystem>
#include <optional>
#include <utility>

#include "app/AboutBoxUnit.h"
#include "app/BatchProgressDialog.h"
#include "app/BatchRun.h"
#include "app/BusyCursor.h"
#include "app/DeviceMessages.h"
#include "app/DropLoading.h"
#include "app/Interaction.h"
#include "app/PreviewStretch.h"
#include "app/Resources.h"
#include "app/RxSpinEdit.h"
#include "app/SaveCommand.h"
#include "engine/feather_mask.h"
#include "image/Zerlin.h"
#include "loading/batch_plan.h"
#include "loading/framing_template.h"
#include "loading/photo_folder.h"
#include "loading/print_settings.h"

using namespace lumivane;

namespace {

const QColor kWorkspaceColour(171, 171, 171);

QFont WindowFont() {
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(11);
    return font;
}

// Where each field and its label stand in the parameter panel.
struct FieldPlace {
    Field field;
    QPoint label;
    QPoint edit;
};
constexpr int kFieldWidth = 57, kFieldHeight = 21;
const FieldPlace kFieldPlaces[] = {
    {Field::ZoomEd, {4, 8}, {96, 5}},
    {Field::RotED, {162, 8}, {232, 5}},
    {Field::Zoom2Ed, {4, 33}, {96, 32}},
    {Field::Maskwidth, {162, 35}, {232, 32}},
    {Field::MaskRadiusEd, {498, 33}, {568, 30}},
    {Field::AdditionalEd, {4, 60}, {96, 59}},
    {Field::AdditionalYED, {162, 64}, {232, 59}},
    {Field::RahmenEd, {498, 62}, {568, 57}},
    {Field::ZoomOutEd, {4, 87}, {96, 86}},
};

QLabel* PlaceLabel(QWidget* parent, const QString& text, QPoint at) {
    auto* label = new QLabel(text, parent);
    label->adjustSize();
    label->setGeometry(at.x(), at.y(), label->width(), 13);
    return label;
}

TBitBtnXP* MakeBitButton(QWidget* parent, const char* name, const QString& caption,
                         const QString& glyph, const QRect& geometry) {
    auto* button = new TBitBtnXP(caption, parent);
    button->setObjectName(name);
    button->setGeometry(geometry);
    button->setIcon(Glyph(glyph));
    button->setIconSize(QSize(24, 24));
    return button;
}

int WidgetExtent(std::int64_t size) {
    return int(std::clamp<std::int64_t>(size, 0, QWIDGETSIZE_MAX));
}

// The fields a print format works out; it shows its values in them.
bool DerivedByPrint(Field f) {
    return f == Field::ZoomEd || f == Field::Zoom2Ed || f == Field::AdditionalEd ||
           f == Field::AdditionalYED;
}

const char* const kManual =
    "Laden Sie ein Foto und einen Hintergrund. Die Größe von Foto und Hintergrund wird beim "
    "Laden aneinander angepasst. Sie können die Größen auch manuell in % festlegen. Sie können "
    "nun noch mit den Werten für Breite und Höhe die Bildformate von Hintergrund und Motiv "
    "anpassen, so dass nur der Rahmen übrig bleibt. Jetzt können Sie auch noch eine Rotation "
    "für das Foto festlegen und die Maske zum Überblenden von Foto auf den Hintergrund "
    "beeinflussen.";

}  // namespace

// --- Swatch and paint box ----------------------------------------------------------------------

TShape::TShape(QWidget* parent) : QWidget(parent) {}

void TShape::SetBrushColor(const QColor& colour) {
    brush_ = colour;
    update();
}

void TShape::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(Qt::black);
    painter.setBrush(brush_);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void TShape::mousePressEvent(QMouseEvent* event) {
    event->accept();
    emit MouseDown();  // every button: left, right, middle
}

TPaintBox::TPaintBox(QWidget* parent) : QWidget(parent) {
    // The picture covers the box completely; nothing behind it needs drawing first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TPaintBox::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    if (OnPaint) OnPaint(painter, event->rect());
}

// --- Building ----------------------------------------------------------------------------------

TMainForm::TMainForm(const QString& programFile, const QStringList& arguments,
                     std::unique_ptr<Interaction> interaction, QWidget* parent)
    : QMainWindow(parent),
      interaction_(std::move(interaction)),
      programFile_(programFile),
      arguments_(arguments) {
    if (!interaction_) interaction_ = std::make_unique<QtInteraction>();
    InitResources();
    setObjectName("MainForm");
    setWindowTitle(QStringLiteral("Tessaly Lumivane 1.0"));
    setWindowIcon(ProgramIcon());
    setFont(WindowFont());

    auto* central = new QWidget(this);
    auto* bands = new QVBoxLayout(central);
    bands->setContentsMargins(0, 0, 0, 0);
    bands->setSpacing(0);
    setCentralWidget(central);

    BuildToolBar();
    BuildParameterPanel();
    BuildPreview();
    bands->addWidget(Panel2);
    bands->addWidget(Panel1);
    bands->addWidget(ScrollBox1, 1);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName("StatusBar1");
    StatusBar1->setSizeGripEnabled(true);
    StatusBar1->setFixedHeight(19);
    setStatusBar(StatusBar1);

    BuildMenu();
    SetTabOrder();

    // The designed client area is 664 x 570 below the menu bar. Laying out now gives the
    // preview area its real size before FormCreate presets the zoom from it.
    resize(664, 570 + menuBar()->sizeHint().height());
    for (QLayout* bandsOrWindow : {layout(), central->layout()}) {
        bandsOrWindow->invalidate();  // a hidden window is not laid out by itself
        bandsOrWindow->activate();
    }

    ConnectHandlers();
    new DropLoading(
        ScrollBox1->viewport(), BitBtnXP1, [this](const QString& file) { openfilenow(file); },
        [this](const QString& file) { openbkgndfilenow(file); });
    RouteDeviceMessages(interaction_.get(), this);
    FormCreate();
}

TMainForm::~TMainForm() {
    RouteDeviceMessages(nullptr, nullptr);
    FreeWorkingImages(images_);
}

void TMainForm::BuildToolBar() {
    Panel2 = new QWidget(this);
    Panel2->setObjectName("Panel2");
    Panel2->setFixedHeight(43);
    OpenBtn = MakeBitButton(Panel2, "OpenBtn", QStringLiteral("Bild öffnen..."),
                            QStringLiteral("open.png"), QRect(4, 10, 121, 33));
    BitBtnXP1 = MakeBitButton(Panel2, "BitBtnXP1", QStringLiteral("Hintergrund öffnen..."),
                              QStringLiteral("open.png"), QRect(131, 10, 158, 33));
    SaveBtn = MakeBitButton(Panel2, "SaveBtn", QStringLiteral("Bild speichern unter..."),
                            QStringLiteral("save.png"), QRect(295, 10, 169, 33));
}

void TMainForm::BuildParameterPanel() {
    Panel1 = new QWidget(this);
    Panel1->setObjectName("Panel1");
    Panel1->setFixedHeight(118);

    for (const FieldPlace& place : kFieldPlaces) {
        const FieldSpec& info = SpecOf(place.field);
        PlaceLabel(Panel1, QString::fromUtf8(info.label), place.label);
        TRxSpinEdit::Layout layout;
        layout.Increment = double(info.increment);
        layout.MaxValue = double(info.maxValue);
        layout.MinValue = double(info.minValue);
        layout.Value = double(info.initial);
        auto* edit = new TRxSpinEdit(layout, Panel1);
        edit->setObjectName(info.name);
        edit->setGeometry(QRect(place.edit, QSize(kFieldWidth, kFieldHeight)));
        edit->setAlignment(Qt::AlignRight);
        fields_[std::size_t(place.field)] = edit;
    }
    ZoomEd = fields_[std::size_t(Field::ZoomEd)];
    Zoom2Ed = fields_[std::size_t(Field::Zoom2Ed)];
    RotED = fields_[std::size_t(Field::RotED)];
    Maskwidth = fields_[std::size_t(Field::Maskwidth)];
    MaskRadiusEd = fields_[std::size_t(Field::MaskRadiusEd)];
    AdditionalEd = fields_[std::size_t(Field::AdditionalEd)];
    AdditionalYED = fields_[std::size_t(Field::AdditionalYED)];
    RahmenEd = fields_[std::size_t(Field::RahmenEd)];
    ZoomOutEd = fields_[std::size_t(Field::ZoomOutEd)];

    BackgroundCheck = new QCheckBox(QStringLiteral("Hintergrundbild"), Panel1);
    BackgroundCheck->setObjectName("BackgroundCheck");
    BackgroundCheck->setGeometry(295, 32, 97, 17);
    BackgroundCheck->setChecked(true);
    RoundMaskCheck = new QCheckBox(QStringLiteral("Runde Maske"), Panel1);
    RoundMaskCheck->setObjectName("RoundMaskCheck");
    RoundMaskCheck->setGeometry(398, 32, 97, 17);

    PlaceLabel(Panel1, QStringLiteral("Hintergrund:"), QPoint(432, 8));
    Shape1 = new TShape(Panel1);
    Shape1->setObjectName("Shape1");
    Shape1->setGeometry(499, 8, 41, 18);

    QuerHochBtn = MakeBitButton(Panel1, "QuerHochBtn", QStringLiteral("Hintergrund rotieren"),
                                QStringLiteral("turn.png"), QRect(304, 55, 161, 36));
}

void TMainForm::BuildPreview() {
    ScrollBox1 = new QScrollArea(this);
    ScrollBox1->setObjectName("ScrollBox1");
    // A sunken border two pixels wide, as the batch renderer's preview area assumes.
    ScrollBox1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    ScrollBox1->setLineWidth(2);
    ScrollBox1->setWidgetResizable(false);
    QPalette workspace = ScrollBox1->palette();
    workspace.setColor(QPalette::Window, kWorkspaceColour);
    ScrollBox1->viewport()->setPalette(workspace);
    ScrollBox1->viewport()->setAutoFillBackground(true);

    previewContent_ = new QWidget;
    previewContent_->setPalette(workspace);
    previewContent_->setAutoFillBackground(true);
    PaintBox1 = new TPaintBox(previewContent_);
    PaintBox1->setObjectName("PaintBox1");
    PaintBox1->setGeometry(0, 3, 105, 105);
    previewContent_->resize(105, 108);
    ScrollBox1->setWidget(previewContent_);
    PaintBox1->OnPaint = [this](QPainter& painter, const QRect& exposed) {
        PaintPreview(painter, exposed);
    };
}

void TMainForm::BuildMenu() {
    QMenuBar* MainMenu1 = menuBar();
    MainMenu1->setObjectName("MainMenu1");
    auto item = [this](QMenu* menu, const char* name, const QString& caption) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(name);
        return action;
    };
    Datei1 = MainMenu1->addMenu(QStringLiteral("Datei"));
    Datei1->setObjectName("Datei1");
    ffnen1 = item(Datei1, "ffnen1", QStringLiteral("Motiv öffnen..."));
    Hintergrundffnen1 = item(Datei1, "Hintergrundffnen1", QStringLiteral("Hintergrund öffnen..."));
    N1 = Datei1->addSeparator();
    Ergebnisspeichernunter1 =
        item(Datei1, "Ergebnisspeichernunter1", QStringLiteral("Ergebnis speichern unter..."));
    N2 = Datei1->addSeparator();
    Vorlageladen1 = item(Datei1, "Vorlageladen1", QStringLiteral("Vorlage laden…"));
    Vorlagespeichern1 = item(Datei1, "Vorlagespeichern1", QStringLiteral("Vorlage speichern…"));
    Stapelverarbeitung1 =
        item(Datei1, "Stapelverarbeitung1", QStringLiteral("Stapelverarbeitung…"));
    N3 = Datei1->addSeparator();
    Beenden1 = item(Datei1, "Beenden1", QStringLiteral("Beenden"));
    Extras1 = MainMenu1->addMenu(QStringLiteral("Extras"));
    Extras1->setObjectName("Extras1");
    HoheBildqualitt1 = item(Extras1, "HoheBildqualitt1", QStringLiteral("Hohe Bildqualität"));
    HoheBildqualitt1->setCheckable(true);
    Druckformat1 = item(Extras1, "Druckformat1", QStringLiteral("Druckformat…"));
    RahmenberdasMotivlegen1 =
        item(Extras1, "RahmenberdasMotivlegen1", QStringLiteral("Rahmen über das Motiv legen"));
    RahmenberdasMotivlegen1->setCheckable(true);
    Beschriftung1 = item(Extras1, "Beschriftung1", QStringLiteral("Beschriftung…"));
    Hilfe1 = MainMenu1->addMenu(QStringLiteral("Hilfe"));
    Hilfe1->setObjectName("Hilfe1");
    Anleitung1 = item(Hilfe1, "Anleitung1", QStringLiteral("Anleitung"));
    berdasProgramm1 = item(Hilfe1, "berdasProgramm1", QStringLiteral("Über das Programm..."));
}

void TMainForm::SetTabOrder() {
    const QList<QWidget*> order = {ZoomEd,          Zoom2Ed,        RotED,        Maskwidth,
                                   BackgroundCheck, RoundMaskCheck, MaskRadiusEd, AdditionalEd,
                                   AdditionalYED,   QuerHochBtn,    RahmenEd,     ZoomOutEd,
                                   ScrollBox1,      OpenBtn,        SaveBtn,      BitBtnXP1};
    for (qsizetype i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
}

void TMainForm::ConnectHandlers() {
    for (TRxSpinEdit* edit : {ZoomEd, Zoom2Ed, RotED, AdditionalEd, AdditionalYED, ZoomOutEd})
        connect(edit, &TRxSpinEdit::OnChange, this, &TMainForm::ZoomEdChange);
    for (TRxSpinEdit* edit : {Maskwidth, MaskRadiusEd})
        connect(edit, &TRxSpinEdit::OnChange, this, &TMainForm::MaskwidthChange);
    connect(RahmenEd, &TRxSpinEdit::OnChange, this, &TMainForm::RahmenEdChange);
    connect(BackgroundCheck, &QCheckBox::toggled, this, &TMainForm::BackgroundCheckClick);
    connect(RoundMaskCheck, &QCheckBox::toggled, this, &TMainForm::RoundMaskCheckClick);
    connect(Shape1, &TShape::MouseDown, this, &TMainForm::Shape1MouseDown);
    connect(QuerHochBtn, &QPushButton::clicked, this, &TMainForm::QuerHochBtnClick);
    connect(OpenBtn, &QPushButton::clicked, this, &TMainForm::ffnen1Click);
    connect(ffnen1, &QAction::triggered, this, &TMainForm::ffnen1Click);
    connect(BitBtnXP1, &QPushButton::clicked, this, &TMainForm::Hintergrundffnen1Click);
    connect(Hintergrundffnen1, &QAction::triggered, this, &TMainForm::Hintergrundffnen1Click);
    connect(SaveBtn, &QPushButton::clicked, this, &TMainForm::Ergebnisspeichernunter1Click);
    connect(Ergebnisspeichernunter1, &QAction::triggered, this,
            &TMainForm::Ergebnisspeichernunter1Click);
    connect(Vorlageladen1, &QAction::triggered, this, &TMainForm::Vorlageladen1Click);
    connect(Vorlagespeichern1, &QAction::triggered, this, &TMainForm::Vorlagespeichern1Click);
    connect(Stapelverarbeitung1, &QAction::triggered, this, &TMainForm::Stapelverarbeitung1Click);
    connect(Beschriftung1, &QAction::triggered, this, &TMainForm::Beschriftung1Click);
    connect(Beenden1, &QAction::triggered, this, &TMainForm::Beenden1Click);
    connect(HoheBildqualitt1, &QAction::toggled, this, &TMainForm::HoheBildqualitt1Click);
    connect(Druckformat1, &QAction::triggered, this, &TMainForm::Druckformat1Click);
    connect(RahmenberdasMotivlegen1, &QAction::toggled, this,
            &TMainForm::RahmenberdasMotivlegen1Click);
    connect(Anleitung1, &QAction::triggered, this, &TMainForm::Anleitung1Click);
    connect(berdasProgramm1, &QAction::triggered, this, &TMainForm::berdasProgramm1Click);
}

// --- Start-up ----------------------------------------------------------------------------------

void TMainForm::FormCreate() {
    progpath_ = QFileInfo(programFile_).absolutePath();
    if (!progpath_.endsWith(QLatin1Char('/'))) progpath_ += QLatin1Char('/');

    if (!CreatePlaceholders(images_)) throw std::bad_alloc();
    MakeMask();
    openFilter_ = QString::fromUtf8(GetDIBOpenFilter());

    openbkgndfilenow(progpath_ + QStringLiteral("holz.jpg"));
    openfilenow(progpath_ + QStringLiteral("foto.jpg"));
    Maskwidth->setValue(20);
}

void TMainForm::FormShow() {
    if (first_) return;
    first_ = true;
    // A template opened with the program (the desktop entry offers it for *.lumivane files)
    // frames the start-up photo; pictures load as motif and background as always.
    if (arguments_.size() >= 1 &&
        arguments_[0].endsWith(QStringLiteral(".lumivane"), Qt::CaseInsensitive))
        return opentemplatenow(arguments_[0]);
    if (arguments_.size() >= 1) openfilenow(arguments_[0]);
    if (arguments_.size() >= 2) openbkgndfilenow(arguments_[1]);
}

void TMainForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    FormShow();
}

void TMainForm::openfilenow(const QString& fname) {
    const BusyCursor busy;
    busyUntilRendered_ = true;  // the preview's next paint event renders the loaded picture
    const std::string name = QFile::encodeName(fname).toStdString();
    // The file is named before loading: the load renders, with the new motif's facts.
    const std::string before = std::exchange(motifFile_, name);
    captionFacts_.reset();
    if (!OpenMotif(images_, *this, name)) {
        motifFile_ = before;
        captionFacts_.reset();
    }
}

void TMainForm::openbkgndfilenow(const QString& fname) {
    const BusyCursor busy;
    busyUntilRendered_ = true;
    const std::string name = QFile::encodeName(fname).toStdString();
    if (!OpenBackground(images_, *this, name)) return;
    ShowOverlayHint();
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(name, ec);
    backgroundFile_ = ec ? name : absolute.lexically_normal().string();
    backgroundTurns_ = 0;
}

// --- Parameter handlers ------------------------------------------------------------------------

void TMainForm::ZoomEdChange() {
    PaintBox1Paint();
}

void TMainForm::MaskwidthChange() {
    MakeMask();
    PaintBox1Paint();
}

void TMainForm::RahmenEdChange() {
    Resizebkgnd();
    PaintBox1Paint();
}

void TMainForm::BackgroundCheckClick() {
    PaintBox1Paint();
}

void TMainForm::RoundMaskCheckClick() {
    MakeMask();
    PaintBox1Paint();
}

void TMainForm::Shape1MouseDown() {
    const std::optional<QColor> chosen = interaction_->PickColor(this, Shape1->BrushColor());
    if (!chosen) return;
    Shape1->SetBrushColor(*chosen);
    PaintBox1Paint();
}

void TMainForm::QuerHochBtnClick() {
    // Keeps the background when the copy cannot be made.
    if (TurnBackground(images_)) backgroundTurns_ = (backgroundTurns_ + 1) % 4;
    PaintBox1Paint();
}

// --- Commands ----------------------------------------------------------------------------------

void TMainForm::ffnen1Click() {
    if (const auto name = interaction_->OpenFile(this, openFilter_)) openfilenow(*name);
}

void TMainForm::Hintergrundffnen1Click() {
    if (const auto name = interaction_->OpenFile(this, openFilter_)) openbkgndfilenow(*name);
}

void TMainForm::Ergebnisspeichernunter1Click() {
    RunSaveCommand(*interaction_, this, bit_, &images_.motifFacts.metadata,
                   print_ ? print_->dpi : 0);
}

namespace {
const QString kTemplateFilter = QStringLiteral("Lumivane-Vorlage (*.lumivane)");
}

void TMainForm::Vorlageladen1Click() {
    if (const auto name = interaction_->OpenFile(this, kTemplateFilter)) opentemplatenow(*name);
}

void TMainForm::opentemplatenow(const QString& fname) {
    const BusyCursor busy;
    std::string error;
    const std::optional<FramingTemplate> design =
        ReadTemplate(QFile::encodeName(fname).toStdString(), error);
    if (!design) return ShowError(QString::fromStdString(error));
    ReadOptions options;
    options.keepAlpha = true;
    BackgroundRead read;
    dib background = OpenTemplateBackground(design->background, error, options, &read);
    if (!background.poi) return ShowError(QString::fromStdString(error));
    const int fileWidth = DibWidth(background), fileHeight = DibHeight(background);
    const int turns = BackgroundTurnsFor(*design, fileWidth, fileHeight, DibWidth(images_.di),
                                         DibHeight(images_.di));
    dib coverage = read.coverage.release();
    if (!TurnQuarters(background, turns) || (coverage.poi && !TurnQuarters(coverage, turns))) {
        FreeDib(background);
        if (coverage.poi) FreeDib(coverage);
        return ShowLoadFailure(design->background);
    }
    busyUntilRendered_ = true;
    caption_ = design->caption;
    // As ApplyTemplate, with a window given by hand put in before the settings that follow it.
    ApplyFitInputs(*this, *design);
    InstallBackground(images_, *this, background, coverage);  // the images own both from here on
    UseDesignOpening(images_, *this, *design, fileWidth, fileHeight, turns);
    ApplyTemplateSettings(images_, *this, *design);
    ShowOverlayHint();
    backgroundFile_ = design->background;
    backgroundTurns_ = turns;
}

FramingTemplate TMainForm::CurrentDesign() const {
    FramingTemplate design =
        CaptureTemplate(images_, Settings(), backgroundFile_, backgroundTurns_, reduceAnswer_);
    design.caption = caption_;
    return design;
}

void TMainForm::Vorlagespeichern1Click() {
    if (backgroundFile_.empty()) {
        return ShowError(
            QStringLiteral("Eine Vorlage braucht einen Hintergrund aus einer Datei. "
                           "Bitte öffnen Sie zuerst einen Hintergrund."));
    }
    const std::optional<SaveChoice> choice = interaction_->SaveFile(this, kTemplateFilter);
    if (!choice) return;
    const QString path = WithFilterExtension(choice->path, kTemplateFilter);
    const std::string error = WriteTemplate(CurrentDesign(), QFile::encodeName(path).toStdString());
    if (!error.empty()) ShowError(QString::fromStdString(error));
}

void TMainForm::Stapelverarbeitung1Click() {
    if (batch_ && batch_->Running()) {
        if (batchProgress_) batchProgress_->raise();
        return;
    }
    if (backgroundFile_.empty()) {
        return ShowError(
            QStringLiteral("Eine Stapelverarbeitung braucht einen Hintergrund aus einer Datei. "
                           "Bitte öffnen Sie zuerst einen Hintergrund."));
    }
    const std::optional<BatchChoice> choice = interaction_->AskBatch(this, openFilter_);
    if (!choice) return;
    auto local = [](const QString& path) { return QFile::encodeName(path).toStdString(); };
    const std::filesystem::path output = local(choice->outputFolder);
    std::vector<std::string> motifs;
    if (!choice->files.isEmpty()) {
        for (const QString& file : choice->files) motifs.push_back(local(file));
    } else {
        if (!QFileInfo(choice->folder).isDir())
            return ShowError(
                QStringLiteral("Den Ordner \"%1\" gibt es nicht.").arg(choice->folder));
        motifs = PhotosInFolder(local(choice->folder), choice->subfolders, output);
    }
    if (motifs.empty()) return ShowError(QStringLiteral("Im gewählten Ordner sind keine Fotos."));

    BatchPlan plan = PlanBatch(motifs, output, choice->format.toStdString());
    if (plan.replacesPhoto) {
        return ShowError(
            QStringLiteral("Die Ergebnisse würden Fotos des Stapels überschreiben. "
                           "Bitte wählen Sie einen anderen Ausgabeordner."));
    }
    BatchSettings settings;
    settings.design = CurrentDesign();
    settings.quality = choice->quality;
    settings.stripMetadata = false;  // as the window saves a result
    settings.plainNoBackground = false;
    settings.skipExisting = false;
    settings.jobs = 0;  // all cores
    settings.outputFolder = output;
    if (plan.existing > 0) {
        const ExistingAnswer answer =
            interaction_->AskExisting(this, plan.existing, static_cast<int>(plan.items.size()));
        if (answer == ExistingAnswer::Cancel) return;
        settings.skipExisting = answer == ExistingAnswer::Skip;
    }

    delete batchProgress_;  // the last batch's, if it is still open
    batch_ = std::make_unique<BatchRun>(std::move(settings), std::move(plan.items));
    batchProgress_ = new BatchProgressDialog(batch_.get(), this);
    batchProgress_->setAttribute(Qt::WA_DeleteOnClose);
    batchProgress_->show();
    batch_->Start();
}

BatchProgressDialog* TMainForm::batchProgress() const {
    return batchProgress_;
}

void TMainForm::closeEvent(QCloseEvent* event) {
    if (batch_) {
        const BusyCursor busy;
        batch_->Cancel();
        batch_->Wait();
    }
    QMainWindow::closeEvent(event);
}

// The caption is shown as it is edited; a cancelled dialog puts the one before it back.
void TMainForm::Beschriftung1Click() {
    const std::optional<Caption> before = caption_;
    const auto chosen = interaction_->AskCaption(this, caption_, [this](const auto& caption) {
        caption_ = caption;
        PaintBox1Paint();
    });
    caption_ = chosen ? *chosen : before;
    PaintBox1Paint();
}

void TMainForm::ShowError(const QString& text) {
    const ArrowWhileAsking arrow;
    interaction_->Message(this, QString(), text, MessageIcon::Error, MessageButtons::Ok);
}

void TMainForm::Beenden1Click() {
    close();
}

// The preview shows what will be saved, so the mode takes effect at once.
void TMainForm::HoheBildqualitt1Click() {
    PaintBox1Paint();
}

void TMainForm::Druckformat1Click() {
    const auto chosen = interaction_->AskPrintFormat(this, print_, DibWidth(images_.di),
                                                     DibHeight(images_.di), RotED->Value());
    if (chosen) SetPrintFormat(*chosen);
}

void TMainForm::SetPrintFormat(const std::optional<PrintFormat>& format) {
    if (format == print_) return;
    const bool wasOn = print_.has_value();
    for (std::size_t i = 0; i < kFieldCount; ++i) {
        if (!DerivedByPrint(Field(i))) continue;
        TRxSpinEdit* edit = fields_[i];
        if (!wasOn && format) held_[i] = edit->Value();
        if (wasOn && !format) {
            const QSignalBlocker quiet(edit);  // the render below follows
            edit->setValue(double(held_[i]));
        }
        edit->setReadOnly(format.has_value());
    }
    print_ = format;
    if (!print_) StatusBar1->clearMessage();
    PaintBox1Paint();
}

// The frame keeps its size and the motif fills its window, without a feather unless one is set
// afterwards; switched off, the fit and the feather are derived as for a freshly loaded frame.
void TMainForm::RahmenberdasMotivlegen1Click() {
    SetValue(Field::Maskwidth, DerivedFeatherWidth(images_, Overlay(), DibWidth(images_.di)));
    Resizebkgnd();
    ShowOverlayHint();
    PaintBox1Paint();
}

void TMainForm::ShowOverlayHint() {
    if (!Overlay() && images_.bkgndAlpha.poi && images_.opening)
        StatusBar1->showMessage(
            QStringLiteral("Der Hintergrund hat ein transparentes Fenster: Extras → Rahmen über "
                           "das Motiv legen."));
    else
        StatusBar1->clearMessage();
}

void TMainForm::Anleitung1Click() {
    interaction_->Message(this, QStringLiteral("Kurzanleitung"), QString::fromUtf8(kManual),
                          MessageIcon::Information, MessageButtons::Ok);
}

void TMainForm::berdasProgramm1Click() {
    if (aboutBox_) aboutBox_->exec();
}

// --- Engine routines ---------------------------------------------------------------------------

void TMainForm::MakeMask() {
    Trace("MakeMask");
    BuildFeatherMask(images_.mask, Maskwidth->Value(), RoundMaskCheck->isChecked(),
                     MaskRadiusEd->Value());
}

void TMainForm::Resizebkgnd() {
    ResizeBackground(images_, *this);
}

Parameters TMainForm::Settings() const {
    Parameters p;
    for (std::size_t i = 0; i < kFieldCount; ++i) p.values[i] = Value(Field(i));  // as typed
    p.backgroundCheck = BackgroundCheck->isChecked();
    p.roundMask = RoundMaskCheck->isChecked();
    const QColor fill = Shape1->BrushColor();
    p.fillColor = RGB(BYTE(fill.red()), BYTE(fill.green()), BYTE(fill.blue()));
    p.smooth = HoheBildqualitt1->isChecked();
    p.print = print_;
    p.overlay = RahmenberdasMotivlegen1->isChecked();
    return p;
}

void TMainForm::ShowPrintFit(const CompositionParams& params) {
    const std::pair<Field, long double> shown[] = {{Field::ZoomEd, params.zoomEd},
                                                   {Field::Zoom2Ed, params.zoom2Ed},
                                                   {Field::AdditionalEd, params.additionalEd},
                                                   {Field::AdditionalYED, params.additionalYED}};
    for (const auto& [field, value] : shown) {
        TRxSpinEdit* edit = fields_[std::size_t(field)];
        const QSignalBlocker quiet(edit);  // shown only: the render uses the fit itself
        edit->setValue(double(StoreFieldValue(SpecOf(field), value)));
    }
    // Laid under a frame, the motif's scale follows the frame's window, not "Motiv in %" alone.
    if (params.overlay)
        StatusBar1->clearMessage();
    else
        StatusBar1->showMessage(
            QString::fromStdString(LowResolutionWarning(*print_, params.zoom2Ed)));
}

bool TMainForm::Compose() {
    const int bw = DibWidth(images_.bkgnd), bh = DibHeight(images_.bkgnd);
    const int mw = DibWidth(images_.di), mh = DibHeight(images_.di);
    const CompositionParams params = RenderValues(images_, Settings());
    if (print_) ShowPrintFit(params);
    const CompositionLayout layout = ComputeLayout(params, bw, bh, mw, mh);
    const int pvW = WidgetExtent(layout.pvW), pvH = WidgetExtent(layout.pvH);
    if (PaintBox1->width() != pvW || PaintBox1->height() != pvH) {
        // The resize invalidates the box; its paint event renders at the new size.
        PaintBox1->resize(pvW, pvH);
        previewContent_->resize(pvW, WidgetExtent(std::int64_t(pvH) + PaintBox1->y()));
        return false;
    }
    // An empty or unallocatable result keeps the last picture.
    if (ComposeWorkingState(params, layout, images_, bit_) && caption_) {
        if (!captionFacts_)
            captionFacts_ = CaptionFacts::Of(images_.motifFacts.metadata, motifFile_);
        DrawCaption(bit_, params, layout, images_, *caption_, *captionFacts_);
    }
    return true;
}

void TMainForm::PaintBox1Paint() {
    Trace("PaintBox1Paint");
    if (!Compose()) return;
    // Widgets draw only inside their paint event: repaint at once and let that paint event
    // show the picture just composed instead of composing it a second time.
    showingComposed_ = true;
    PaintBox1->repaint();
    showingComposed_ = false;
}

void TMainForm::PaintPreview(QPainter& painter, const QRect& exposed) {
    if (!showingComposed_) {
        // A paint event of its own (uncovering, scrolling, after a resize): render afresh.
        std::optional<BusyCursor> busy;
        if (busyUntilRendered_) busy.emplace();
        Trace("PaintBox1Paint");
        if (!Compose()) {
            painter.fillRect(exposed, kWorkspaceColour);
            return;
        }
        busyUntilRendered_ = false;
    }
    const QRect area = exposed.intersected(PaintBox1->rect());
    const QImage part = StretchForPreview(bit_, PaintBox1->width(), PaintBox1->height(), area);
    if (part.isNull()) {
        painter.fillRect(exposed, kWorkspaceColour);
        return;
    }
    painter.drawImage(area.topLeft(), part);
}

// --- FramingHost -------------------------------------------------------------------------------

long double TMainForm::Value(Field field) const {
    if (print_ && DerivedByPrint(field)) return held_[std::size_t(field)];
    return fields_[std::size_t(field)]->Value();
}

void TMainForm::SetValue(Field field, long double value) {
    // While a print format is on, a fit or a template sets what comes back when it goes off.
    if (print_ && DerivedByPrint(field)) {
        held_[std::size_t(field)] = StoreFieldValue(SpecOf(field), value);
        return;
    }
    // Rounded here in extended precision: narrowed to double first, a value just past a half
    // would become exactly a half and round the other way.
    fields_[std::size_t(field)]->setValue(double(StoreFieldValue(SpecOf(field), value)));
}

void TMainForm::SetSwitches(bool backgroundCheck, bool roundMask, COLORREF fillColor) {
    BackgroundCheck->setChecked(backgroundCheck);  // a change runs its click handler
    RoundMaskCheck->setChecked(roundMask);
    const QColor fill(GetRValue(fillColor), GetGValue(fillColor), GetBValue(fillColor));
    if (fill != Shape1->BrushColor()) {
        Shape1->SetBrushColor(fill);
        PaintBox1Paint();
    }
}

bool TMainForm::AskReduceSize() {
    reduceAnswer_ =
        interaction_->Message(this, QStringLiteral("Größe des Bildes anpassen"),
                              QStringLiteral("Wollen Sie die Größe des Bildes reduzieren "
                                             "lassen, damit das Programm flüssiger arbeitet?"),
                              MessageIcon::Question, MessageButtons::YesNo) == MessageAnswer::Yes;
    return reduceAnswer_;
}

bool TMainForm::Smooth() const {
    return HoheBildqualitt1->isChecked();
}

void TMainForm::SetSmooth(bool on) {
    HoheBildqualitt1->setChecked(on);  // a change renders, as a click does
}

bool TMainForm::Overlay() const {
    return RahmenberdasMotivlegen1->isChecked();
}

void TMainForm::SetOverlay(bool on) {
    RahmenberdasMotivlegen1->setChecked(on);  // a change refits and renders, as a click does
}

void TMainForm::ShowLoadFailure(const std::string&) {
    interaction_->Message(this, QString(), QStringLiteral("Konnte das Bild nicht laden."),
                          MessageIcon::Error, MessageButtons::Ok);
}

// A hidden window lays out its scroll area's viewport only when first shown; until then the
// client area is the scroll area inside its border (no scroll bars are shown yet).
int TMainForm::PreviewClientWidth() const {
    return isVisible() ? ScrollBox1->viewport()->width() : ScrollBox1->contentsRect().width();
}

int TMainForm::PreviewClientHeight() const {
    return isVisible() ? ScrollBox1->viewport()->height() : ScrollBox1->contentsRect().height();
}
