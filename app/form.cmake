# The search form pane, the GUI half of the run control and the result model.
target_sources(qvgui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/CSearchForView.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FormIcons.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SearchAnimation.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SearchServices.cpp
  ${PROJECT_SOURCE_DIR}/results/ResultListModel.cpp
)
