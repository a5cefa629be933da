#include "NetInterfaces.h"

#include <QNetworkInterface>

#include <algorithm>
#include <iterator>
#include <stdexcept>
#include <unordered_map>

namespace vrel {

namespace {

std::unordered_map<int, std::string> names; // by index, for NameOf

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
        NetInterface& i = all.emplace_back();
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
        names[i.index] = i.name;
    }
    return all;
}

std::vector<NetInterface> NetInterfaces::Select(const std::vector<NetInterface>& all,
                                                    const std::vector<std::string>& names) {
    std::vector<NetInterface> chosen;
    if (names.empty()) {
        std::ranges::copy_if(all, std::back_inserter(chosen), &NetInterface::Usable);
        return chosen;
    }
    for (const std::string& name : names) {
        const auto it = std::ranges::find(all, name, &NetInterface::name);
        if (it == all.end())
            throw std::invalid_argument("there is no interface '" + name + "'");
        if (!it->Usable()) {
            const std::string reason = it->UnusableReason();
            throw std::invalid_argument("interface '" + name + "' cannot broadcast: " +
                                        (reason.empty() ? "not a broadcast interface" : reason));
        }
        if (std::ranges::find(chosen, name, &NetInterface::name) == chosen.end())
            chosen.push_back(*it);
    }
    return chosen;
}

std::string NetInterfaces::NameOf(int index) {
    if (index <= 0)
        return "";
    const auto [it, added] = names.try_emplace(index);
    // One lookup of this index (an ioctl), not an enumeration of every interface.
    if (added)
        it->second = QNetworkInterface::interfaceNameFromIndex(index).toStdString();
    return it->second;
}

} // namespace vrel
