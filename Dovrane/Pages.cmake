# DovranePages: the pages of the main window that show the disk (Overview, Storage, Developer and
# a category's detail), over the model and the UI kit. The window builds them by sidebar item.
add_library(DovranePages STATIC
    OverviewPage/OverviewPage.cpp
    OverviewPage/OverviewPage.h
    StoragePage/CategoryBrowser.cpp
    StoragePage/CategoryBrowser.h
    StoragePage/CategoryDetail.cpp
    StoragePage/CategoryDetail.h
    StoragePage/CategoryRow.cpp
    StoragePage/CategoryRow.h
    StoragePage/PageContext.h
    StoragePage/StoragePage.cpp
    StoragePage/StoragePage.h)
set_target_properties(DovranePages PROPERTIES AUTOMOC ON AUTOMOC_COMPILER_PREDEFINES OFF)
target_include_directories(DovranePages PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(DovranePages PUBLIC DovraneUiKit DovraneModel)
