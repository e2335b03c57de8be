#include "backends/InstalledBackends.h"

#include <QFileInfo>
#include <QLoggingCategory>

#include "backends/ChineseBackend.h"
#include "backends/HanjaBackend.h"
#include "backends/MecabBackend.h"

namespace kotobane {

Q_LOGGING_CATEGORY(lcBackends, "kotobane.backends", QtWarningMsg)

LazyBackend::LazyBackend(Hkl handle, QString description, Opener open, std::function<void(bool)> busy)
    : m_handle(handle),
      m_description(std::move(description)),
      m_open(std::move(open)),
      m_busy(std::move(busy))
{ }

QString LazyBackend::Reading(const QString& phrase)
{
    if (!m_tried) {
        m_tried = true;
        if (m_busy) {
            m_busy(true);
        }
        m_backend = m_open();
        if (m_busy) {
            m_busy(false);
        }
        if (!m_backend) {
            qCWarning(lcBackends).noquote() << m_description << "cannot be opened; it gives no readings";
        }
    }
    return m_backend ? m_backend->Reading(phrase) : QString();
}

std::vector<std::unique_ptr<ReadingBackend>> CreateInstalledBackends(std::function<void(bool)> busy)
{
    std::vector<std::unique_ptr<ReadingBackend>> backends;
    const auto add = [&](Hkl handle, QString description, LazyBackend::Opener open) {
        backends.push_back(std::make_unique<LazyBackend>(handle, std::move(description), std::move(open), busy));
    };
    for (const MecabBackend::Kind kind : {MecabBackend::Kind::Ipadic, MecabBackend::Kind::Unidic}) {
        if (MecabBackend::Installed(kind, MecabBackend::DefaultDictionaryDir(kind))) {
            add(MecabBackend::HandleOf(kind), MecabBackend::DescriptionOf(kind),
                [kind]() -> std::unique_ptr<ReadingBackend> { return MecabBackend::Open(kind); });
        }
    }
    if (!ChineseBackend::InstalledDataFiles().table.isEmpty()) {
        for (const ChineseBackend::Script script :
             {ChineseBackend::Script::Simplified, ChineseBackend::Script::Traditional}) {
            add(ChineseBackend::HandleOf(script), ChineseBackend::DescriptionOf(script),
                [script]() -> std::unique_ptr<ReadingBackend> { return ChineseBackend::Open(script); });
        }
    }
    if (QFileInfo(QString::fromLatin1(HanjaBackend::kDefaultDataPath)).isFile()) {
        add(HanjaBackend::kHandle, HanjaBackend::DescriptionOf(),
            []() -> std::unique_ptr<ReadingBackend> { return HanjaBackend::Open(); });
    }
    return backends;
}

}  // namespace kotobane
