#include "UI/IdentityName.h"

#include "Domain/IdentityName.h"

namespace sendra::ui {

bool IdentityName::isBlank(const QString& typed)
{
    return identityName(typed).isEmpty();
}

} // namespace sendra::ui
