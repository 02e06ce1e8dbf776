# DovraneUiKit: what every window and page stands on (appearance, colours, fonts, symbols, the
# storage graphics, themes, layout probes, window behaviour and the page kit). Qt Widgets, Svg
# and DBus; the kit below it never sees Qt.
find_package(Qt6 6.4 REQUIRED COMPONENTS Core Gui Widgets Svg DBus)

file(GLOB DOVRANE_UIKIT_SOURCES CONFIGURE_DEPENDS
    ${CMAKE_CURRENT_SOURCE_DIR}/UiKit/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/UiKit/*.h
    ${CMAKE_CURRENT_SOURCE_DIR}/Theme/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/Theme/*.h
    ${CMAKE_CURRENT_SOURCE_DIR}/StorageGraphics/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/StorageGraphics/*.h
    ${CMAKE_CURRENT_SOURCE_DIR}/Grid/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/Grid/*.h
    ${CMAKE_CURRENT_SOURCE_DIR}/WindowBehavior/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/WindowBehavior/*.h)

add_library(DovraneUiKit STATIC
    ${DOVRANE_UIKIT_SOURCES}
    # The shared pieces of pages and windows that come later live with them.
    StoragePage/StorageSelection.cpp
    StoragePage/StorageSelection.h
    AppsPage/AppIcon.cpp
    AppsPage/AppIcon.h
    SettingsView/FolderList.cpp
    SettingsView/FolderList.h)
# moc cannot parse the C++20 standard headers the kit includes; without the compiler's predefined
# macros it reads them as older headers and skips those parts.
set_target_properties(DovraneUiKit PROPERTIES AUTOMOC ON AUTOMOC_COMPILER_PREDEFINES OFF)
target_include_directories(DovraneUiKit PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(DovraneUiKit PUBLIC DovraneKit Qt6::Widgets Qt6::Svg Qt6::DBus)
# The settings store and the German catalogue belong to the model library.
target_link_libraries(DovraneUiKit PUBLIC DovraneModel)

# Our own symbols (only those the desktop's icon themes lack) and the generic app icon.
file(GLOB DOVRANE_UIKIT_SYMBOLS CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/UiKit/symbols/*.svg)
qt_add_resources(DovraneUiKit "dovrane_symbols" PREFIX "/symbols" BASE ${CMAKE_CURRENT_SOURCE_DIR}/UiKit/symbols
    FILES ${DOVRANE_UIKIT_SYMBOLS})
