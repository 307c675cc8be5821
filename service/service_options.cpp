#include "service/service_options.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>
#include <functional>
#include <limits>
#include <vector>

namespace shoulu {

namespace {

// Stores an option's value; when the value does not fit, says what the option wants instead.
using Store = std::function<QString(const QString &value, ServiceOptions *options)>;

// One option of the command line. A flag has no value name, and its store gets "".
struct Option {
    QString name;
    QString valueName;
    QString help;
    QString defaultValue;
    Store store;
};

Store Text(QString ServiceOptions::*member) {
    return [member](const QString &value, ServiceOptions *options) {
        options->*member = value;
        return QString();
    };
}

Store VersionText(QString VersionSettings::*member) {
    return [member](const QString &value, ServiceOptions *options) {
        options->version.*member = value;
        return QString();
    };
}

Store Flag(std::function<void(ServiceOptions *)> set) {
    return [set](const QString &, ServiceOptions *options) {
        set(options);
        return QString();
    };
}

// A whole number from min up to the largest int.
Store Number(qint64 min, std::function<void(ServiceOptions *, qint64)> set) {
    return [min, set](const QString &value, ServiceOptions *options) {
        bool ok = false;
        const qint64 number = value.toLongLong(&ok);
        if (!ok || number < min || number > std::numeric_limits<int>::max()) {
            return min == 1 ? QStringLiteral("a positive number")
                            : QStringLiteral("a number of at least %1").arg(min);
        }
        set(options, number);
        return QString();
    };
}

Store Milliseconds(std::chrono::milliseconds ConnectionLimits::*member) {
    return Number(1, [member](ServiceOptions *options, qint64 ms) {
        options->limits.*member = std::chrono::milliseconds(ms);
    });
}

QString ParseListen(const QString &text, ServiceOptions *options) {
    const QString wanted = QStringLiteral("ADDRESS:PORT");
    const qsizetype colon = text.lastIndexOf(u':');
    if (colon <= 0) {
        return wanted;
    }
    QString host = text.first(colon);
    if (host.startsWith(u'[') && host.endsWith(u']')) {
        host = host.sliced(1, host.size() - 2);
    }
    bool ok = false;
    const uint port = text.sliced(colon + 1).toUInt(&ok);
    if (!ok || port > 65535 || !options->address.setAddress(host)) {
        return wanted;
    }
    options->port = static_cast<quint16>(port);
    return QString();
}

std::vector<Option> OptionTable() {
    const ServiceOptions defaults;
    return {
        {"listen", "ADDRESS:PORT",
         "Loopback address and port to serve on (port 0 picks a free one).", "127.0.0.1:18443",
         ParseListen},
        {"cert",
         "FILE",
         "PEM server certificate (chain) file.",
         {},
         Text(&ServiceOptions::certPath)},
        {"key", "FILE", "PEM private key file (EC or RSA).", {}, Text(&ServiceOptions::keyPath)},
        {"db",
         "FILE",
         "SQLite store of counts; created when missing.",
         {},
         Text(&ServiceOptions::db)},
        {"latest-version", "TEXT", "info.version of the version check (default %1).",
         defaults.version.latestVersion, VersionText(&VersionSettings::latestVersion)},
        {"sid", "TEXT", "info.sid of the version check and the update page (default %1).",
         defaults.version.sid, VersionText(&VersionSettings::sid)},
        {"must", "TEXT", "info.must of the version check; \"0\" is optional (default %1).",
         defaults.version.must, VersionText(&VersionSettings::must)},
        {"refuse",
         {},
         "Refuse every version check (result 0 with the refuse message).",
         {},
         Flag([](ServiceOptions *options) { options->version.refuse = true; })},
        {"refuse-message", "TEXT", "Message of a refused version check (default \"%1\").",
         defaults.version.refuseMessage, VersionText(&VersionSettings::refuseMessage)},
        {"idle-timeout-ms", "MS", "Close connections silent for this long (default %1).",
         QString::number(defaults.limits.idle.count()), Milliseconds(&ConnectionLimits::idle)},
        {"handshake-timeout-ms", "MS",
         "Close connections whose TLS handshake takes longer (default %1).",
         QString::number(defaults.limits.handshake.count()),
         Milliseconds(&ConnectionLimits::handshake)},
        {"request-timeout-ms", "MS",
         "Answer 408 and close when a request's headers, or its body, take longer (default %1).",
         QString::number(defaults.limits.request.count()),
         Milliseconds(&ConnectionLimits::request)},
        {"max-connections", "N",
         "Close new connections at once while this many are open (default %1; lowered to fit "
         "the descriptor limit).",
         QString::number(defaults.limits.maxConnections),
         Number(1, [](ServiceOptions *options,
                      qint64 n) { options->limits.maxConnections = int(n); })},
        {"log-file",
         "FILE",
         "Write the request log to FILE instead of stderr, moving it to FILE.1 when it reaches "
         "--log-max-bytes.",
         {},
         Text(&ServiceOptions::logFile)},
        {"log-max-bytes", "BYTES",
         QStringLiteral("Size at which --log-file is moved aside (default %2, at least %1).")
             .arg(kMinLogBytes),
         QString::number(defaults.logMaxBytes),
         Number(kMinLogBytes, [](ServiceOptions *options, qint64 n) { options->logMaxBytes = n; })},
        {"merge",
         {},
         "With import: keep the store's other rows instead of replacing them.",
         {},
         Flag([](ServiceOptions *options) { options->merge = true; })},
    };
}

// The rules between options, once each has its value.
bool Consistent(const QCommandLineParser &parser, const ServiceOptions &options) {
    const QStringList positional = parser.positionalArguments();
    if (!parser.isSet(QStringLiteral("db"))) {
        SayOnStderr(QStringLiteral("--db FILE is required (see --help)"));
    } else if (!positional.isEmpty() &&
               (positional.size() != 2 || positional[0] != QStringLiteral("import"))) {
        SayOnStderr(QStringLiteral("unknown command; the only one is \"import FILE.csv\""));
    } else if (!options.importPath.isEmpty()) {
        return true;
    } else if (options.certPath.isEmpty() || options.keyPath.isEmpty()) {
        SayOnStderr(QStringLiteral("--cert FILE and --key FILE are required (see --help)"));
    } else if (options.merge) {
        SayOnStderr(QStringLiteral("--merge goes with import"));
    } else {
        return true;
    }
    return false;
}

} // namespace

void SayOnStderr(const QString &message) {
    std::fprintf(stderr, "shoulu-service: %s\n", qUtf8Printable(message));
}

std::optional<ServiceOptions> ParseServiceOptions(const QCoreApplication &app) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Local HTTPS stand-in for the query and version services of shoulu.\n"
        "  shoulu-service --listen 127.0.0.1:18443 --cert server.pem --key server.key --db "
        "counts.db\n"
        "  shoulu-service import counts.csv --db counts.db"));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("command"),
                                 QStringLiteral("Optional: \"import FILE.csv\" makes the file the "
                                                "store's content (with --merge: adds it) and "
                                                "exits."),
                                 QStringLiteral("[import FILE.csv]"));
    const std::vector<Option> table = OptionTable();
    for (const Option &option : table) {
        const QString help =
            option.help.contains(u'%') ? option.help.arg(option.defaultValue) : option.help;
        parser.addOption(
            QCommandLineOption(option.name, help, option.valueName, option.defaultValue));
    }
    parser.process(app);

    ServiceOptions options;
    for (const Option &option : table) {
        const bool given = parser.isSet(option.name);
        if (!given && (option.valueName.isEmpty() || option.defaultValue.isEmpty())) {
            continue;
        }
        if (const QString wanted = option.store(parser.value(option.name), &options);
            !wanted.isEmpty()) {
            SayOnStderr(QStringLiteral("--%1 wants %2, got \"%3\"")
                            .arg(option.name, wanted, parser.value(option.name)));
            return std::nullopt;
        }
    }
    const QStringList positional = parser.positionalArguments();
    if (positional.size() == 2) {
        options.importPath = positional[1];
    }
    return Consistent(parser, options) ? std::optional(options) : std::nullopt;
}

} // namespace shoulu
