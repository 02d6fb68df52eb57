# SMB: the qv-smb helper process (the only code that links libsmbclient) and, in
# qvplatform, the client that talks to it, the URL conversion and the SMB file system.
target_sources(qvplatform PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/SmbUrl.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SmbProtocol.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SmbClient.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SmbFileSystem.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SmbFileCopier.cpp
)

find_package(PkgConfig REQUIRED)
pkg_check_modules(SMBCLIENT REQUIRED IMPORTED_TARGET smbclient)

# smbc_readdirplus2 (Samba 4.12 and later) gives a listing's entries with their
# details in one pass; without it the helper falls back to smbc_readdirplus.
include(CheckSymbolExists)
include(CMakePushCheckState)
cmake_push_check_state(RESET)
set(CMAKE_REQUIRED_INCLUDES ${SMBCLIENT_INCLUDE_DIRS})
set(CMAKE_REQUIRED_LIBRARIES ${SMBCLIENT_LINK_LIBRARIES})
check_symbol_exists(smbc_getFunctionReaddirPlus2 "libsmbclient.h" QV_HAVE_READDIRPLUS2)
cmake_pop_check_state()

# Protocol and URL code are compiled into the helper too, so that it needs no Qt.
add_executable(qv-smb
  ${CMAKE_CURRENT_LIST_DIR}/qv-smb/main.cpp
  ${CMAKE_CURRENT_LIST_DIR}/qv-smb/SmbContext.cpp
  ${CMAKE_CURRENT_LIST_DIR}/qv-smb/SmbHelperServer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SmbProtocol.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SmbUrl.cpp
)
target_include_directories(qv-smb PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(qv-smb PRIVATE PkgConfig::SMBCLIENT)
if(QV_HAVE_READDIRPLUS2)
  target_compile_definitions(qv-smb PRIVATE QV_HAVE_READDIRPLUS2=1)
endif()

# Every program that uses SMB finds the helper through SmbClient::findHelper; building
# any of them should build the helper too.
add_dependencies(qvplatform qv-smb)

include(GNUInstallDirs)
install(TARGETS qv-smb RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/quendle)
