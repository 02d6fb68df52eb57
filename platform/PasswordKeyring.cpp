// The desktop keyring the program was built with, if any.
#include "platform/PasswordKeyring.h"

#if defined(QV_HAVE_LIBSECRET)
#include "platform/SecretServiceKeyring.h"
#endif

namespace qv {

std::shared_ptr<PasswordKeyring> PasswordKeyring::desktop()
{
#if defined(QV_HAVE_LIBSECRET)
    return std::make_shared<SecretServiceKeyring>();
#else
    return nullptr;
#endif
}

} // namespace qv
