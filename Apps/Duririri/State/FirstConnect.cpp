#include "State/FirstConnect.h"

#include "Domain/CenterContentPolicy.h"
#include "NetKit/Workers.h"
#include "State/TextFold.h"

#include <QString>

#include <string>

namespace sendra {

void prepareForFirstConnect()
{
    netkit::backgroundPool().run([] {
        try {
            netkit::backgroundPool().warmUp();
            netkit::teamPool().warmUp();
            // An accented capital goes through every table: decomposed, folded through the Latin letters, scanned.
            const QString accented = QStringLiteral("\u00C9");
            CenterContentPolicy::normalize(accented);
            std::string folded;
            appendFoldedFromUtf8(accented.toStdString(), folded);
            containsAdultKeyword(folded);
        } catch (...) {
            // The first connect makes whatever is missing itself.
        }
    });
}

} // namespace sendra
