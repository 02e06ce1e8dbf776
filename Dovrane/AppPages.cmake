# DovraneAppPages: the pages that show apps and history (Apps, Updates, Cleaned Up), widgets
# over the model that the main window builds for its sidebar items.
add_library(DovraneAppPages STATIC
    AppsPage/AppRecordExtras.cpp
    AppsPage/AppRecordExtras.h
    AppsPage/AppTables.cpp
    AppsPage/AppTables.h
    AppsPage/AppsPage.cpp
    AppsPage/AppsPage.h
    AppsPage/PageControls.h
    CleanedPage/CleanedPage.cpp
    CleanedPage/CleanedPage.h
    CleanedPage/RemovalRow.cpp
    CleanedPage/RemovalRow.h
    UpdatesPage/UpdateCard.cpp
    UpdatesPage/UpdateCard.h
    UpdatesPage/UpdatesPage.cpp
    UpdatesPage/UpdatesPage.h)
set_target_properties(DovraneAppPages PROPERTIES AUTOMOC ON AUTOMOC_COMPILER_PREDEFINES OFF)
target_include_directories(DovraneAppPages PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(DovraneAppPages PUBLIC DovraneUiKit DovraneModel)
