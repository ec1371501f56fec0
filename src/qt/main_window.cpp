#include "main_window.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QTreeWidget>

#include "app/control_ids.h"
#include "artwork.h"
#include "backdrop_slider.h"
#include "dialog_units.h"
#include "flag_scope.h"
#include "graphic_progress_ctrl.h"
#include "hover_button.h"
#include "modal_dialogs.h"
#include "qt_text.h"

namespace qtui {

namespace {

// The template font is 8 point "MS Sans Serif": an 11-pixel em on a 96 dpi screen.
constexpr int kDialogFontPixels = 11;

}  // namespace

MainWindow::MainWindow(app::MainDialog& dialog, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      dialog_(dialog) {
    dialogFont_ = QFont(QStringLiteral("Arial"));
    dialogFont_.setPixelSize(kDialogFontPixels);
    setFont(dialogFont_);
    setFixedSize(app::kClientWidthPx, app::kClientHeightPx);
    setSizeGripEnabled(false);
    setAttribute(Qt::WA_OpaquePaintEvent);  // the paint covers the whole client area
    for (const app::ControlTemplate& entry : app::kMainDialogTemplate) createControl(entry);
    chainTabOrder();
    setUpDriveMenu();
}

MainWindow::~MainWindow() = default;

void MainWindow::createControl(const app::ControlTemplate& entry) {
    const int id = entry.id;
    const QString text = FromCp1252(entry.text);
    QWidget* widget = nullptr;
    switch (entry.kind) {
    case app::ControlClass::HoverButton: {
        auto* button = new CHoverButton(this);
        button->setText(text);
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, [this, id] { buttonClicked(id); });
        widget = button;
        break;
    }
    case app::ControlClass::PushButton: {
        auto* button = new QPushButton(text, this);
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, [this, id] { buttonClicked(id); });
        widget = button;
        break;
    }
    case app::ControlClass::Slider: {
        const bool vertical = (entry.styles & app::kStyleVertical) != 0;
        auto* slider = new CBackdropSlider(vertical ? Qt::Vertical : Qt::Horizontal, this);
        if (entry.styles & app::kStyleNoTicks)
            slider->setTickPosition(QSlider::NoTicks);
        else if (entry.styles & app::kStyleTicksBoth)
            slider->setTickPosition(QSlider::TicksBothSides);
        else if (entry.styles & app::kStyleTicksTop)
            slider->setTickPosition(QSlider::TicksAbove);
        // The picture under the slider, without running the window's paint (which evaluates
        // the indicators).
        slider->setBackgroundSource([this](const QRect& area) { return backgroundUnder(area); });
        widget = slider;
        break;
    }
    case app::ControlClass::Edit: {
        auto* edit = new QLineEdit(this);
        edit->setReadOnly((entry.styles & app::kStyleReadOnly) != 0);
        edit->setFrame((entry.styles & app::kStyleBorder) != 0);
        widget = edit;
        break;
    }
    case app::ControlClass::ListBox: {
        auto* list = new QListWidget(this);
        list->setSelectionMode(QAbstractItemView::SingleSelection);
        list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        list->setVerticalScrollBarPolicy((entry.styles & app::kStyleVScroll) ? Qt::ScrollBarAsNeeded
                                                                              : Qt::ScrollBarAlwaysOff);
        list->setUniformItemSizes(true);
        list->setTextElideMode(Qt::ElideNone);  // a list box clips long entries, it does not shorten them
        // The selection signal comes after the new entry is selected (the current-row signal
        // comes before); a click that leaves nothing selected is no selection change.
        if (id == app::ids::kDriveList) {
            connect(list, &QListWidget::itemSelectionChanged, this, [this] {
                if (surfaceChange_ || listSelection(app::ids::kDriveList) < 0) return;
                dialog_.SelectDrive();
                showSelfTestProgress();
            });
        }
        widget = list;
        break;
    }
    case app::ControlClass::ListView: {
        auto* view = new QTreeWidget(this);
        view->setColumnCount(0);
        view->setRootIsDecorated(false);
        view->setItemsExpandable(false);
        view->setUniformRowHeights(true);
        view->setSortingEnabled(false);
        view->setSelectionMode(QAbstractItemView::SingleSelection);
        view->setSelectionBehavior(QAbstractItemView::SelectItems);
        view->header()->setStretchLastSection(false);
        view->header()->setSectionsMovable(false);
        view->header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        view->viewport()->installEventFilter(this);
        // The keyboard moves the selection mark as a click does.
        connect(view, &QTreeWidget::currentItemChanged, this, [this, view](QTreeWidgetItem* current) {
            if (!surfaceChange_ && current) selectionMark_ = view->indexOfTopLevelItem(current);
        });
        widget = view;
        break;
    }
    case app::ControlClass::ProgressBar: {
        auto* bar = new CGraphicProgressCtrl(this);
        bar->setBordered((entry.styles & app::kStyleBorder) != 0);
        widget = bar;
        break;
    }
    }
    widget->setObjectName(QStringLiteral("control%1").arg(id));
    widget->setGeometry(DuToPixels(entry.rect));
    widget->setFocusPolicy((entry.styles & app::kStyleTabStop) ? Qt::StrongFocus : Qt::ClickFocus);
    if (entry.kind == app::ControlClass::ProgressBar) widget->setFocusPolicy(Qt::NoFocus);
    widget->setEnabled((entry.styles & app::kStyleDisabled) == 0);
    if (entry.styles & app::kStyleHidden) widget->hide();
    widget->installEventFilter(this);
    controls_[id] = widget;
}

void MainWindow::chainTabOrder() {
    QWidget* previous = nullptr;
    for (const app::ControlTemplate& entry : app::kMainDialogTemplate) {
        if ((entry.styles & app::kStyleTabStop) == 0) continue;
        QWidget* current = controls_[entry.id];
        if (previous) QWidget::setTabOrder(previous, current);
        previous = current;
    }
}

bool MainWindow::initialise() {
    if (!dialog_.InitialiseDialog(*this)) return false;
    for (const app::ControlTemplate& entry : app::kMainDialogTemplate) {
        QWidget* widget = controls_[entry.id];
        if ((entry.styles & app::kStyleTabStop) && !widget->isHidden() && widget->isEnabled()) {
            widget->setFocus(Qt::OtherFocusReason);
            break;
        }
    }
    return true;
}

QWidget* MainWindow::control(int id) const {
    const auto found = controls_.find(id);
    return found == controls_.end() ? nullptr : found->second;
}
CHoverButton* MainWindow::hoverButton(int id) const { return qobject_cast<CHoverButton*>(control(id)); }
QListWidget* MainWindow::listBox(int id) const { return qobject_cast<QListWidget*>(control(id)); }
QTreeWidget* MainWindow::listView(int id) const { return qobject_cast<QTreeWidget*>(control(id)); }
QLineEdit* MainWindow::edit(int id) const { return qobject_cast<QLineEdit*>(control(id)); }
CGraphicProgressCtrl* MainWindow::progressBar(int id) const { return qobject_cast<CGraphicProgressCtrl*>(control(id)); }
CBackdropSlider* MainWindow::slider(int id) const { return qobject_cast<CBackdropSlider*>(control(id)); }

// ---- commands -------------------------------------------------------------------------------

void MainWindow::okCommand() { dialog_.ExitNow(); }

void MainWindow::cancelCommand() {
    if (dialog_.scanExecuting() || longCommand_) return;
    done(app::ids::kCancel);
}

void MainWindow::buttonClicked(int id) {
    // The long commands pump messages; none of them may start again inside itself or another.
    const bool busy = dialog_.scanExecuting() || longCommand_;
    switch (id) {
    case app::ids::kExit:
        okCommand();
        break;
    case app::ids::kScan:
        if (!busy) {
            FlagScope running(longCommand_);
            dialog_.OnScan();
        }
        break;
    case app::ids::kTestSpeed:
        if (!busy) {
            FlagScope running(longCommand_);
            dialog_.OnTestSpeed();
        }
        break;
    case app::ids::kStop:
        dialog_.OnStop();
        break;
    case app::ids::kOpenSession:
        if (!busy) dialog_.OnOpenSession();
        break;
    default:
        break;  // the hidden push buttons have no function
    }
}

void MainWindow::attributeViewClicked() { dialog_.ShowAttributeDetails(); }

// ---- events ---------------------------------------------------------------------------------

void MainWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (background_.isNull()) {
        painter.fillRect(rect(), palette().color(QPalette::Window));
    } else {
        // Tiles start at the client origin; the window clips the last row and column.
        for (int y = 0; y < height(); y += background_.height())
            for (int x = 0; x < width(); x += background_.width()) painter.drawImage(x, y, background_);
    }
    if (isMinimized()) return;
    const app::IndicatorPaint paint = dialog_.PaintIndicators();
    ++indicatorPaints_;
    painter_.paint(painter, paint);
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        okCommand();
        return;
    }
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        cancelCommand();
        return;
    }
    QDialog::keyPressEvent(event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // The close box, Alt+F4 and the system menu's Close: ExitNow, never a plain close.
    event->ignore();
    dialog_.ExitNow();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        // Enter anywhere is the dialog's OK command, Escape its Cancel command.
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            okCommand();
            return true;
        }
        if (key->key() == Qt::Key_Escape && key->modifiers() == Qt::NoModifier) {
            cancelCommand();
            return true;
        }
    }
    QTreeWidget* view = listView(app::ids::kAttributeView);
    if (view && watched == view->viewport()) {
        // Only mouse button events are QMouseEvents; key, paint and hover events pass here too.
        const QEvent::Type type = event->type();
        if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease) {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() == Qt::LeftButton) {
                if (type == QEvent::MouseButtonRelease) {
                    attributeViewClicked();
                } else {
                    const QModelIndex index = view->indexAt(mouse->position().toPoint());
                    if (index.isValid()) selectionMark_ = index.row();
                }
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

QImage MainWindow::backgroundUnder(const QRect& area) const {
    QImage image(area.size(), QImage::Format_RGB32);
    image.fill(palette().color(QPalette::Window));
    if (!background_.isNull()) {
        QPainter painter(&image);
        for (int y = 0; y < area.bottom() + 1; y += background_.height())
            for (int x = 0; x < area.right() + 1; x += background_.width())
                painter.drawImage(x - area.left(), y - area.top(), background_);
    }
    return image;
}

// ---- Surface: plain controls ----------------------------------------------------------------

std::string MainWindow::controlText(int id) {
    if (QLineEdit* field = edit(id)) return ToCp1252(field->text());
    if (auto* button = qobject_cast<QAbstractButton*>(control(id))) return ToCp1252(button->text());
    return std::string();
}

void MainWindow::setControlText(int id, std::string_view text) {
    if (QLineEdit* field = edit(id)) {
        field->setText(FromCp1252(text));
        // An edit control shows a text the program sets from its first character; Qt would
        // leave the cursor at the end and scroll a long text's start out of view.
        field->setCursorPosition(0);
    } else if (auto* button = qobject_cast<QAbstractButton*>(control(id))) {
        button->setText(FromCp1252(text));
    }
}

void MainWindow::showControl(int id, bool shown) {
    if (QWidget* widget = control(id)) widget->setVisible(shown);
}

void MainWindow::enableControl(int id, bool enabled) {
    if (QWidget* widget = control(id)) widget->setEnabled(enabled);
}

// ---- Surface: skinned controls, pictures, title ---------------------------------------------

void MainWindow::setProgressPosition(int id, int position) {
    if (CGraphicProgressCtrl* bar = progressBar(id)) bar->setPosition(position);
}

void MainWindow::setSliderTickFrequency(int id, int frequency) {
    if (CBackdropSlider* control = slider(id)) control->setTickInterval(frequency);
}

void MainWindow::setSliderThumbColours(int id, platform::DWORD normal, platform::DWORD active) {
    if (CBackdropSlider* control = slider(id)) control->SetThumbColours(normal, active);
}

void MainWindow::setUpHoverButton(int id, int stripResource, std::string_view tooltip) {
    CHoverButton* button = hoverButton(id);
    if (!button) return;
    button->SetFrameBitmap(LoadArtwork(stripResource));
    const std::string tip(tooltip);
    button->SetTipText(tip.c_str(), true);
}

bool MainWindow::loadBackground(int bitmapResource) {
    background_ = QImage();
    update();
    if (bitmapResource == 0) return true;
    const QImage picture = LoadArtwork(bitmapResource);
    if (picture.isNull()) return false;
    background_ = picture.convertToFormat(QImage::Format_RGB32);
    return true;
}

void MainWindow::setWindowIcon() { QWidget::setWindowIcon(LoadAppIcon()); }

void MainWindow::setTitle(std::string_view title) {
    title_ = std::string(title);
    setWindowTitle(FromCp1252(title));
}

std::string MainWindow::title() { return title_; }

void MainWindow::requestRepaint() { update(); }

int MainWindow::messageBox(std::string_view text, std::string_view caption, platform::DWORD type) {
    return ShowMessageBox(this, text, caption, type, dialogFont_);
}

std::optional<std::string> MainWindow::fileDialog(const platform::FileDialogRequest& request) {
    return ShowFileDialog(this, request);
}

void MainWindow::pumpOneMessage() {
    // One pass over what is waiting now: input, timers, the signal pipe and repaints. Events
    // posted while it runs wait for the next step.
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

}  // namespace qtui
