#include "core/form1.h"

#include "core/domain_import.h"
#include "core/domain_rules.h"
#include "core/window_ops.h"
#include "net/json_access.h"
#include "net/md5.h"

#include <QJsonObject>

#include <array>
#include <optional>
#include <utility>

namespace shoulu {

namespace {

const QString kIdleCaption = QStringLiteral("批量查询");
const QString kRunningCaption = QStringLiteral("停止查询");
const QString kToolTipPrefix = QStringLiteral("双击列表删除:");
const QString kSkipText = QStringLiteral("域名不正确,自动跳转下一个..");
const QString kCompletedText = QStringLiteral("所有域名已查询完毕!");
const QString kEmptyQueueText = QStringLiteral("请先导入要查询的域名");
const QString kEmptyQueueTitle = QStringLiteral("澜序软件");
const QString kWelcomeText = QStringLiteral("当前为最新版本,欢迎使用澜序软件..");
const QString kQueryPath = QStringLiteral("/index.php/Index/web_collection?url=");
const QString kTokenSalt = QStringLiteral("lumbe");
constexpr int kMessagePanel = 2;

// The seven answer members a row is made of, in the order they fill it.
struct QueryRow {
    QString domain;
    std::array<QString, 3> engines;
};

std::optional<QueryRow> ReadQueryRow(const QString &answer) {
    const std::optional<QJsonObject> object = toObject(answer);
    if (!object) {
        return std::nullopt;
    }
    const std::optional<QString> domain = MemberText(*object, QStringLiteral("info.web.domain"));
    if (!domain) {
        return std::nullopt;
    }
    QueryRow row{*domain, {}};
    const std::array<QLatin1String, 3> engines = {QLatin1String("bd"), QLatin1String("so"),
                                                  QLatin1String("bing")};
    for (std::size_t i = 0; i < engines.size(); ++i) {
        const QString base = QStringLiteral("info.") + engines[i];
        const std::optional<QString> site = MemberText(*object, base + QStringLiteral(".site"));
        const std::optional<QString> links = MemberText(*object, base + QStringLiteral(".domain"));
        if (!site || !links) {
            return std::nullopt;
        }
        row.engines[i] = *site + QStringLiteral(" / ") + *links;
    }
    return row;
}

bool NeedsEscape(unsigned char byte) {
    switch (byte) {
    case '&':
    case '#':
    case '+':
    case '%':
    case ' ':
        return true;
    default:
        return byte < 0x20 || byte >= 0x7F;
    }
}

// Only the characters that would end or alter the url value are escaped, so a plain domain
// reaches the service exactly as the entry reads.
QString EscapeUrlValue(const QString &text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    const QByteArray bytes = text.toUtf8();
    QString out;
    out.reserve(bytes.size());
    for (const char ch : bytes) {
        const auto byte = static_cast<unsigned char>(ch);
        if (NeedsEscape(byte)) {
            out += QLatin1Char('%');
            out += QLatin1Char(kHex[byte >> 4]);
            out += QLatin1Char(kHex[byte & 0x0F]);
        } else {
            out += QLatin1Char(ch);
        }
    }
    return out;
}

QString QueryUrl(const QString &baseUrl, const QString &entry) {
    return baseUrl + kQueryPath + EscapeUrlValue(entry) + QStringLiteral("&token=") +
           Md5Hex(entry + kTokenSalt, 32);
}

} // namespace

Form1::Form1(WindowOps &window, GetFunction get, QString queryBaseUrl)
    : window_(window)
    , get_(std::move(get))
    , queryBaseUrl_(std::move(queryBaseUrl)) {}

void Form1::Command1_Click() {
    shoulu::Command1_Click(window_);
}

void Form1::Command2_Click() {
    if (window_.queueCount() == 0) {
        window_.setPanelText(kMessagePanel, kEmptyQueueText);
        window_.messageBox(kEmptyQueueText, kEmptyQueueTitle, MessageButtons::Ok);
        return;
    }
    const QString caption = window_.buttonCaption(ButtonId::Command2);
    if (caption == kIdleCaption) {
        window_.setButtonCaption(ButtonId::Command2, kRunningCaption);
        window_.setQueueEnabled(false);
        window_.clearRows();
        queryGate_ = true;
        batchRunning_ = true;
        const quint32 serial = ++batchSerial_;
        window_.setSelectedIndex(0);
        // A stop (or a stop and a new start) pressed while the first query waited has
        // already set the window; the timer must not bring this batch back to life.
        if (!batchRunning_ || batchSerial_ != serial) {
            return;
        }
        window_.setTimerInterval(TimerId::Timer1, window_.sliderValue() * 1000);
        window_.setTimerEnabled(TimerId::Timer1, true);
        window_.setSliderEnabled(false);
    } else if (caption == kRunningCaption) {
        window_.setQueueEnabled(true);
        queryGate_ = false;
        batchPos_ = 0;
        window_.setButtonCaption(ButtonId::Command2, kIdleCaption);
        window_.setTimerEnabled(TimerId::Timer1, false);
        window_.setSliderEnabled(true);
        batchRunning_ = false;
        ++batchSerial_;
    }
}

void Form1::List1_Click() {
    const int selected = window_.selectedIndex();
    const QString entry = selected >= 0 ? window_.queueEntry(selected) : QString();
    window_.setQueueToolTip(kToolTipPrefix + entry);
    if (!queryGate_ || selected < 0) {
        return;
    }
    if (!HasDomainSuffix(entry)) {
        window_.setPanelText(kMessagePanel, kSkipText);
        if (batchPos_ + 1 < window_.queueCount()) {
            ++batchPos_;
            window_.setSelectedIndex(batchPos_);
        }
        return;
    }

    answerText_.clear();
    // Ticks, stops and imports may run inside this call; nothing read before it is trusted
    // after it.
    const QString answer = get_(QueryUrl(queryBaseUrl_, entry));
    answerText_ = answer;
    if (answer.isEmpty()) {
        return;
    }
    // All members are read before the row is appended, so a faulty answer leaves no row.
    const std::optional<QueryRow> row = ReadQueryRow(answer);
    if (!row) {
        return;
    }
    currentRow_ = window_.appendRow();
    window_.setRowText(currentRow_, row->domain);
    for (int subItem = 1; subItem <= 3; ++subItem) {
        window_.setRowSubItem(currentRow_, subItem, row->engines[subItem - 1]);
    }

    const int nowSelected = window_.selectedIndex();
    const int count = window_.queueCount();
    const QString nowEntry = nowSelected >= 0 ? window_.queueEntry(nowSelected) : QString();
    window_.setPanelText(kMessagePanel,
                         nowEntry + QStringLiteral("查询完毕 | 共：") + QString::number(count) +
                             QStringLiteral("个域名 | 剩余查询：") +
                             QString::number(count - nowSelected - 1) + QStringLiteral("个"));
}

void Form1::List1_DblClick() {
    const int selected = window_.selectedIndex();
    if (selected >= 0) {
        window_.removeQueueEntry(selected);
    }
}

void Form1::List1_MouseDown() {
    if (window_.queueCount() == 0) {
        Command1_Click();
    }
}

void Form1::Timer1_Timer() {
    const int count = window_.queueCount();
    if (count < 2 || batchPos_ + 1 >= count) {
        completeBatch();
        return;
    }
    ++batchPos_;
    window_.setSelectedIndex(batchPos_);
    if (window_.selectedIndex() + 1 == window_.queueCount()) {
        completeBatch();
    }
}

void Form1::Slider1_Scroll() {
    window_.setLabel2Caption(QString::number(window_.sliderValue()) + QStringLiteral("秒/次"));
}

void Form1::init() {
    window_.setButtonEnabled(ButtonId::Command2, true);
    window_.setPanelText(kMessagePanel, kWelcomeText);
}

void Form1::cx() {
    queryGate_ = true;
    window_.setSelectedIndex(window_.queueCount() - 1);
    // The gate ends as the batch state now is rather than as it was found: a batch may have
    // been started or stopped while the query waited.
    queryGate_ = batchRunning_;
}

void Form1::completeBatch() {
    window_.setPanelText(kMessagePanel, kCompletedText);
    window_.setTimerEnabled(TimerId::Timer1, false);
    window_.setQueueEnabled(true);
    window_.setButtonCaption(ButtonId::Command2, kIdleCaption);
    queryGate_ = false;
    window_.setSliderEnabled(true);
    batchPos_ = 0;
    batchRunning_ = false;
    ++batchSerial_;
}

} // namespace shoulu
