# The session's credential store and, when libsecret is there, the desktop keyring
# (the Secret Service) that keeps a password beyond the session.
target_sources(qvplatform PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/CredentialStore.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PasswordKeyring.cpp
)

find_package(PkgConfig REQUIRED)
pkg_check_modules(LIBSECRET IMPORTED_TARGET libsecret-1)
if(LIBSECRET_FOUND)
  target_sources(qvplatform PRIVATE ${CMAKE_CURRENT_LIST_DIR}/SecretServiceKeyring.cpp)
  target_compile_definitions(qvplatform PUBLIC QV_HAVE_LIBSECRET=1)
  target_link_libraries(qvplatform PRIVATE PkgConfig::LIBSECRET)
endif()
