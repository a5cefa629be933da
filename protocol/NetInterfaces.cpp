#include "NetInterfaces.h"

#include "BlockPool.h"
#include "PopulatedMemory.h"

#include <QNetworkInterface>

#include <algorithm>
#include <bit>
#include <cstring>
#include <stdexcept>

namespace vrel {

namespace {

// Where each MAC address last answered. Answers come by the thousand and the question comes
// once per Get or Set, so an answer costs one 8-byte entry appended to a log in pool blocks,
// and the log is folded into the table when the question comes (or when the log has grown
// long). The table is one flat array of 8-byte slots, probed linearly and at most three
// quarters full. Log entries and slots alike hold the MAC's 48 bits and the ordinal of the
// interface: a host has a handful of interfaces, so their indexes are kept apart and named by
// ordinal (1 and up; 0 marks an empty slot).
class AnswerIndexes {
public:
    void Remember(const std::array<std::uint8_t, kMacSize>& mac, int index) {
        const std::uint64_t ordinal = OrdinalOf(index);
        if (ordinal == 0)
            return; // more distinct interfaces than a slot can name: a Set then goes out on all
        if (logged_ == kLogLimit)
            Fold();
        if (logged_ % kPerBlock == 0)
            log_.push_back(BlockPool::Take());
        const std::uint64_t entry = Key(mac) << kOrdinalBits | ordinal;
        std::memcpy(log_.back().get() + logged_ % kPerBlock * sizeof entry, &entry, sizeof entry);
        ++logged_;
    }
    std::optional<int> Last(const std::array<std::uint8_t, kMacSize>& mac) {
        Fold();
        if (slots_.empty())
            return std::nullopt;
        const std::uint64_t slot = slots_[SlotOf(Key(mac))];
        if (slot == 0)
            return std::nullopt;
        return indexes_[(slot & kOrdinalMask) - 1];
    }
    void Clear() {
        // Keeps the array: the next Discover fills it up to its old size again.
        std::fill(slots_.begin(), slots_.end(), 0);
        used_ = 0;
        log_.clear();
        logged_ = 0;
    }

private:
    static constexpr unsigned kOrdinalBits = 16;
    static constexpr std::uint64_t kOrdinalMask = (1u << kOrdinalBits) - 1;
    static constexpr std::size_t kPerBlock = BlockPool::kBlockSize / sizeof(std::uint64_t);
    static constexpr std::size_t kLogLimit = 8 * kPerBlock;

    static std::uint64_t Key(const std::array<std::uint8_t, kMacSize>& mac) {
        std::uint64_t key = 0;
        for (const std::uint8_t byte : mac)
            key = key << 8 | byte;
        return key;
    }
    // Where the slot holding key is, or the empty slot where it belongs. The multiplication
    // spreads a vendor's consecutive addresses over the table; its top bits pick the slot.
    std::size_t SlotOf(std::uint64_t key) const {
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t i = (key * 0x9E3779B97F4A7C15ull) >> shift_;; i = (i + 1) & mask) {
            if (slots_[i] == 0 || slots_[i] >> kOrdinalBits == key)
                return i;
        }
    }
    // Enters the log into the table in order, so that a later answer overrides an earlier one.
    void Fold() {
        for (std::size_t i = 0; i < logged_; ++i) {
            std::uint64_t entry = 0;
            std::memcpy(&entry, log_[i / kPerBlock].get() + i % kPerBlock * sizeof entry,
                        sizeof entry);
            if (slots_.empty() || (used_ + 1) * 4 > slots_.size() * 3)
                Grow();
            std::uint64_t& slot = slots_[SlotOf(entry >> kOrdinalBits)];
            used_ += slot == 0;
            slot = entry;
        }
        log_.clear();
        logged_ = 0;
    }
    void Grow() {
        decltype(slots_) old(slots_.empty() ? 16 : slots_.size() * 2);
        old.swap(slots_);
        shift_ = 64 - std::countr_zero(slots_.size());
        for (const std::uint64_t slot : old) {
            if (slot != 0)
                slots_[SlotOf(slot >> kOrdinalBits)] = slot;
        }
    }
    // The ordinal of an interface index, adding it the first time; 0 when no ordinal is left.
    std::uint64_t OrdinalOf(int index) {
        if (last_ != 0 && indexes_[last_ - 1] == index)
            return last_;
        const auto at = static_cast<std::size_t>(
            std::find(indexes_.begin(), indexes_.end(), index) - indexes_.begin());
        if (at == indexes_.size()) {
            if (at == kOrdinalMask)
                return 0;
            indexes_.push_back(index);
        }
        last_ = at + 1;
        return last_;
    }

    std::vector<BlockPool::Block> log_;
    std::size_t logged_ = 0;
    // A power of two in size, or empty; every slot is written when the array is made.
    std::vector<std::uint64_t, PopulatingAllocator<std::uint64_t>> slots_;
    unsigned shift_ = 64;
    std::size_t used_ = 0;
    std::vector<int> indexes_; // interface index by ordinal - 1; kept across Clear()
    std::uint64_t last_ = 0;   // the ordinal looked up last
};

AnswerIndexes& Answers() {
    static AnswerIndexes answers;
    return answers;
}

std::unordered_map<int, std::string>& Names() {
    static std::unordered_map<int, std::string> map;
    return map;
}

NetInterface FromQt(const QNetworkInterface& qt) {
    NetInterface i;
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

bool NetInterface::Usable() const {
    return up && running && broadcast && !loopback && !address.empty();
}

std::string NetInterface::UnusableReason() const {
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

std::string NetInterface::Label() const {
    if (address.empty())
        return name + " (no IPv4 address)";
    return name + " " + address + "/" + std::to_string(prefixLength);
}

std::string TriedText(const std::vector<SendOutcome>& outcomes) {
    if (outcomes.empty())
        return "the routing table";
    std::string text;
    for (const SendOutcome& o : outcomes) {
        text += text.empty() ? "" : ", ";
        text += o.interface.index > 0 ? o.interface.Label() : o.interface.name;
        text += o.sent ? " sent" : " not sent (" + o.error + ")";
    }
    return text;
}

std::vector<NetInterface> NetInterfaces::Enumerate() {
    std::vector<NetInterface> all;
    for (const QNetworkInterface& qt : QNetworkInterface::allInterfaces()) {
        all.push_back(FromQt(qt));
        Names()[all.back().index] = all.back().name;
    }
    return all;
}

std::vector<NetInterface> NetInterfaces::Select(const std::vector<NetInterface>& all,
                                                    const std::vector<std::string>& names) {
    std::vector<NetInterface> chosen;
    if (names.empty()) {
        std::copy_if(all.begin(), all.end(), std::back_inserter(chosen),
                     [](const NetInterface& i) { return i.Usable(); });
        return chosen;
    }
    for (const std::string& name : names) {
        const auto it = std::find_if(all.begin(), all.end(),
                                     [&](const NetInterface& i) { return i.name == name; });
        if (it == all.end())
            throw std::invalid_argument("there is no interface '" + name + "'");
        if (!it->Usable()) {
            const std::string reason = it->UnusableReason();
            throw std::invalid_argument("interface '" + name + "' cannot broadcast: " +
                                        (reason.empty() ? "not a broadcast interface" : reason));
        }
        const bool twice = std::any_of(chosen.begin(), chosen.end(),
                                       [&](const NetInterface& i) { return i.name == name; });
        if (!twice)
            chosen.push_back(*it);
    }
    return chosen;
}

void NetInterfaces::RememberAnswer(const std::array<std::uint8_t, kMacSize>& mac, int index) {
    if (index > 0)
        Answers().Remember(mac, index);
}

std::optional<int> NetInterfaces::LastAnswerIndex(const std::array<std::uint8_t, kMacSize>& mac) {
    return Answers().Last(mac);
}

void NetInterfaces::ForgetAnswers() {
    Answers().Clear();
}

std::string NetInterfaces::NameOf(int index) {
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
