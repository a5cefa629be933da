#include "KvNetInterfaces.h"

#include "HashedPositions.h"

#include <QNetworkInterface>

#include <algorithm>
#include <cstring>
#include <deque>
#include <stdexcept>

namespace vrel {

namespace {

// Where each MAC address last answered, written once per answer: the addresses in order of
// first answer, found through a flat table of their positions. Ten thousand answers in a
// burst cost a few dozen fresh pages this way, not a node each, and no rehash moves them.
class AnswerIndexes {
public:
    void Remember(const std::array<std::uint8_t, kMacSize>& mac, int index) {
        if (const std::uint32_t at = PositionOf(mac); at != HashedPositions::kNone) {
            entries_[at].index = index;
            return;
        }
        positions_.Insert(Hash(mac), static_cast<std::uint32_t>(entries_.size()));
        entries_.push_back({mac, index});
    }
    std::optional<int> Last(const std::array<std::uint8_t, kMacSize>& mac) const {
        const std::uint32_t at = PositionOf(mac);
        return at == HashedPositions::kNone ? std::nullopt : std::optional(entries_[at].index);
    }
    void Clear() {
        entries_.clear();
        positions_.Clear();
    }

private:
    struct Entry {
        std::array<std::uint8_t, kMacSize> mac;
        int index;
    };
    static std::size_t Hash(const std::array<std::uint8_t, kMacSize>& mac) {
        std::uint64_t key = 0;
        std::memcpy(&key, mac.data(), mac.size());
        return static_cast<std::size_t>(key * 0x9E3779B97F4A7C15ull); // spreads into every bit
    }
    std::uint32_t PositionOf(const std::array<std::uint8_t, kMacSize>& mac) const {
        return positions_.Find(Hash(mac),
                               [&](std::uint32_t at) { return entries_[at].mac == mac; });
    }

    std::deque<Entry> entries_;
    HashedPositions positions_;
};

AnswerIndexes& Answers() {
    static AnswerIndexes answers;
    return answers;
}

std::unordered_map<int, std::string>& Names() {
    static std::unordered_map<int, std::string> map;
    return map;
}

KvNetInterface FromQt(const QNetworkInterface& qt) {
    KvNetInterface i;
    i.index = qt.index();
    i.name = qt.name().toStdString();
    const auto flags = qt.flags();
    i.up = flags.testFlag(QNetworkInterface::IsUp);
    i.running = flags.testFlag(QNetworkInterface::IsRunning);
    i.broadcast = flags.testFlag(QNetworkInterface::CanBroadcast);
    i.loopback = flags.testFlag(QNetworkInterface::IsLoopBack);
    for (const QNetworkAddressEntry& entry : qt.addressEntries()) {
        if (entry.ip().protocol() != QAbstractSocket::IPv4Protocol)
            continue;
        i.address = entry.ip().toString().toStdString();
        i.prefixLength = entry.prefixLength();
        break;
    }
    return i;
}

} // namespace

bool KvNetInterface::Usable() const {
    return up && running && broadcast && !loopback && !address.empty();
}

std::string KvNetInterface::UnusableReason() const {
    if (loopback || !broadcast)
        return "";
    if (!up)
        return "down";
    if (!running)
        return "no carrier";
    if (address.empty())
        return "no IPv4 address";
    return "";
}

std::string KvNetInterface::Label() const {
    if (address.empty())
        return name + " (no IPv4 address)";
    return name + " " + address + "/" + std::to_string(prefixLength);
}

std::string TriedText(const std::vector<KvSendOutcome>& outcomes) {
    if (outcomes.empty())
        return "the routing table";
    std::string text;
    for (const KvSendOutcome& o : outcomes) {
        text += text.empty() ? "" : ", ";
        text += o.interface.index > 0 ? o.interface.Label() : o.interface.name;
        text += o.sent ? " sent" : " not sent (" + o.error + ")";
    }
    return text;
}

std::vector<KvNetInterface> KvNetInterfaces::Enumerate() {
    std::vector<KvNetInterface> all;
    for (const QNetworkInterface& qt : QNetworkInterface::allInterfaces()) {
        all.push_back(FromQt(qt));
        Names()[all.back().index] = all.back().name;
    }
    return all;
}

std::vector<KvNetInterface> KvNetInterfaces::Select(const std::vector<KvNetInterface>& all,
                                                    const std::vector<std::string>& names) {
    std::vector<KvNetInterface> chosen;
    if (names.empty()) {
        std::copy_if(all.begin(), all.end(), std::back_inserter(chosen),
                     [](const KvNetInterface& i) { return i.Usable(); });
        return chosen;
    }
    for (const std::string& name : names) {
        const auto it = std::find_if(all.begin(), all.end(),
                                     [&](const KvNetInterface& i) { return i.name == name; });
        if (it == all.end())
            throw std::invalid_argument("there is no interface '" + name + "'");
        if (!it->Usable()) {
            const std::string reason = it->UnusableReason();
            throw std::invalid_argument("interface '" + name + "' cannot broadcast: " +
                                        (reason.empty() ? "not a broadcast interface" : reason));
        }
        const bool twice = std::any_of(chosen.begin(), chosen.end(),
                                       [&](const KvNetInterface& i) { return i.name == name; });
        if (!twice)
            chosen.push_back(*it);
    }
    return chosen;
}

void KvNetInterfaces::RememberAnswer(const std::array<std::uint8_t, kMacSize>& mac, int index) {
    if (index > 0)
        Answers().Remember(mac, index);
}

std::optional<int> KvNetInterfaces::LastAnswerIndex(const std::array<std::uint8_t, kMacSize>& mac) {
    return Answers().Last(mac);
}

void KvNetInterfaces::ForgetAnswers() {
    Answers().Clear();
}

std::string KvNetInterfaces::NameOf(int index) {
    if (index <= 0)
        return "";
    auto& names = Names();
    const auto it = names.find(index);
    if (it != names.end())
        return it->second;
    // One lookup of this index (an ioctl), not an enumeration of every interface.
    return names[index] = QNetworkInterface::interfaceNameFromIndex(index).toStdString();
}

} // namespace vrel
