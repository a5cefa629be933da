#include "HostAddresses.h"

#include <QNetworkInterface>

namespace vrel {

std::vector<HostAddress> HostAddresses() {
    std::vector<HostAddress> addresses;
    for (const QNetworkInterface& i : QNetworkInterface::allInterfaces()) {
        for (const QNetworkAddressEntry& entry : i.addressEntries()) {
            if (i.flags().testFlag(QNetworkInterface::IsUp) &&
                entry.ip().protocol() == QAbstractSocket::IPv4Protocol)
                addresses.push_back({i.name().toStdString(), entry.ip().toIPv4Address(),
                                     entry.netmask().toIPv4Address(),
                                     i.flags().testFlag(QNetworkInterface::IsLoopBack)});
        }
    }
    return addresses;
}

} // namespace vrel
