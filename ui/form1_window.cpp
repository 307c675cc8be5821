#include "ui/form1_window.h"

#include "core/add_domain.h"
#include "core/form1.h"
#include "ui/column_lock.h"
#include "ui/context_menus.h"
#include "ui/form1_layout.h"
#include "ui/form2_dialog.h"
#include "ui/results_sort.h"
#include "ui/skin.h"
#include "ui/taskbar.h"
#include "ui/window_placement.h"

#include <QCloseEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QMimeData>
#include <QPushButton>
#include <QSlider>
#include <QTableWidget>
#include <QTimer>

#include <utility>

namespace shoulu {

namespace {

// Files count only where they are local; a link dragged from a browser comes as its text.
DragData DragDataOf(const QMimeData *mime) {
    DragData data;
    for (const QUrl &url : mime->urls()) {
        if (url.isLocalFile()) {
            data.files.append(url.toLocalFile());
        }
    }
    if (data.files.isEmpty() && mime->hasText()) {
        data.text = mime->text();
    }
    return data;
}

// A drop is taken as a copy only: a source told of a move would delete its file or text.
void Answer(QDropEvent *event, bool taken) {
    taken = taken && event->possibleActions().testFlag(Qt::CopyAction);
    if (taken) {
        event->setDropAction(Qt::CopyAction);
    }
    event->setAccepted(taken);
}

} // namespace

Form1Window::Form1Window(QString studioUrl, QString companyUrl, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint)
    , studioUrl_(std::move(studioUrl))
    , companyUrl_(std::move(companyUrl)) {
    buildControls();
    setAcceptDrops(true);
    // The version check starts one second after the window exists.
    timer2_->start();
}

Form1Window::~Form1Window() = default;

void Form1Window::connectLogic(Form1 &form1, StartupHooks hooks) {
    form1_ = &form1;
    startup_ = std::move(hooks);
    connect(buttons_[0], &QPushButton::clicked, this, [&form1] { form1.Command1_Click(); });
    connect(buttons_[1], &QPushButton::clicked, this, [&form1] { form1.Command2_Click(); });
    connect(buttons_[2], &QPushButton::clicked, this, [this] { openBrowser(studioUrl_); });
    connect(buttons_[3], &QPushButton::clicked, this, [this] { openBrowser(companyUrl_); });
    connect(buttons_[4], &QPushButton::clicked, this, [this] { close(); });
    connect(buttons_[5], &QPushButton::clicked, this, [this] { showAddDomainDialog(); });
    connect(list1_, &QListWidget::itemSelectionChanged, this, &Form1Window::queueSelectionChanged);
    auto *list1 = static_cast<QueueList *>(list1_);
    list1->onMouseDown = [&form1] { form1.List1_MouseDown(); };
    list1->onDoubleClick = [&form1] { form1.List1_DblClick(); };
    connect(slider1_, &QSlider::valueChanged, this, [&form1] { form1.Slider1_Scroll(); });
    connect(timer1_, &QTimer::timeout, this, [&form1] { form1.Timer1_Timer(); });
    connect(timer2_, &QTimer::timeout, this, [this] { startup_.versionTick(); });
    contextMenus_ = std::make_unique<ContextMenus>(
        *list1_, *listview1_, *this, form1, [this](QDialog &dialog) { return execModal(dialog); });
    sorting_ =
        std::make_unique<ResultsSorting>(*listview1_, [&form1] { return form1.resultsSortable(); });
}

void Form1Window::Form_Load() {
    SkinH_AttachEx(startup_.skinFile, QString());
    ClearTitleBarIcon(*this);
    LockColumnWidths(*listview1_->horizontalHeader());
    CentreFrameOnScreen(*this);
    show();
    setPanelText(kVersionPanel, startup_.versionText);
}

void Form1Window::queueSelectionChanged() {
    if (!settingSelection_) {
        form1_->List1_Click();
    }
}

QPushButton *Form1Window::button(ButtonId id) const {
    return buttons_[static_cast<std::size_t>(id)];
}

QTimer *Form1Window::timer(TimerId id) const {
    return id == TimerId::Timer1 ? timer1_ : timer2_;
}

void Form1Window::showAddDomainDialog() {
    Form2Dialog dialog(this);
    dialog.onAdd = [this, &dialog] {
        Form2_Command1_Click(*this, *form1_, dialog.text(), dialog.queryAtOnce(),
                             [&dialog] { dialog.done(QDialog::Accepted); });
    };
    execModal(dialog);
}

int Form1Window::execModal(QDialog &dialog) {
    return dialog.exec();
}

void Form1Window::closeEvent(QCloseEvent *event) {
    // A confirmed close ends the program inside the confirmation; the window never closes
    // itself.
    event->ignore();
    startup_.confirmClose();
}

bool Form1Window::overQueue(QPointF position) const {
    return list1_->geometry().contains(position.toPoint());
}

void Form1Window::dragEnterEvent(QDragEnterEvent *event) {
    drag_ = DragDataOf(event->mimeData());
    // Refused here, a drag would get no moves: it is taken when the queue, which takes all that
    // the window does, would take it, and the moves that follow, the first at this very point,
    // say where.
    Answer(event, form1_->OLEDragOver(drag_, true));
}

void Form1Window::dragMoveEvent(QDragMoveEvent *event) {
    Answer(event, form1_->OLEDragOver(drag_, overQueue(event->position())));
}

void Form1Window::dragLeaveEvent(QDragLeaveEvent * /*event*/) {
    drag_ = {};
}

void Form1Window::dropEvent(QDropEvent *event) {
    const DragData data = DragDataOf(event->mimeData());
    const bool queue = overQueue(event->position());
    drag_ = {};
    Answer(event, form1_->OLEDragOver(data, queue));
    if (!event->isAccepted()) {
        return;
    }
    // Taken once the source has its answer: it waits for the drop to return, and an import may
    // show a box or query.
    QMetaObject::invokeMethod(
        this, [this, data, queue] { form1_->OLEDragDrop(data, queue); }, Qt::QueuedConnection);
}

} // namespace shoulu
