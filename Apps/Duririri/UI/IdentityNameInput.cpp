#include "UI/IdentityNameInput.h"

#include "Domain/IdentityName.h"

namespace sendra::ui {

bool IdentityNameInput::isBlank(const QString& typed)
{
    return identityName(typed).isEmpty();
}

} // namespace sendra::ui
