# The location tree pane's GUI half (the pane itself is listed with the frame's
# sources): the account dialog and the branch lines' style.
target_sources(qvgui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/CredentialsDialog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TreeBranchStyle.cpp
)
