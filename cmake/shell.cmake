# The shell: Velmor.exe, from a static library of its parts (which tests link
# too) plus the objects that must always be in the program.
add_library(velmor_shell STATIC
    app/CameraCommands.cpp
    app/ConsoleMenu.cpp
    app/CrashDump.cpp
    app/CrashHandler.cpp
    app/FrameTimer.cpp
    app/RemoteConsoleHooks.cpp
    app/StartupPaths.cpp
    app/StatisticsBlock.cpp
    app/TypeLibraryFile.cpp
    app/VelmorApp.cpp
    automation/VelmorEdServer.cpp
    camera/CameraDispatch.cpp
    camera/VelmorCamera.cpp
    console/Clipboard.cpp
    console/CommandHistory.cpp
    console/Edit.cpp
    console/HistoryFile.cpp
    console/OutputView.cpp
    console/OutputViewInput.cpp
    console/OutputViewPaint.cpp
    console/PaintSchedule.cpp
    console/OutputViewSchedule.cpp
    console/PaneCommands.cpp
    console/PaneFind.cpp
    console/PaneSearch.cpp
    console/PaneText.cpp
    console/RunState.cpp
    console/VelmorConsole.cpp
    engine/EngineCalls.cpp
    engine/EngineGuard.cpp
    engine/Histogram.cpp
    engine/PlatformRecordFill.cpp
    engine/ProcessFigures.cpp
    engine/Statistics.cpp
    log/Log.cpp
    remote/CommandExchange.cpp
    remote/CommandRunner.cpp
    remote/Connection.cpp
    remote/CurrentMetrics.cpp
    remote/HttpRequestReader.cpp
    remote/MetricsEndpoint.cpp
    remote/MetricsHandler.cpp
    remote/MetricsHttp.cpp
    remote/MetricsSettings.cpp
    remote/MetricsText.cpp
    remote/RconHandler.cpp
    remote/RconPacket.cpp
    remote/RefusalLog.cpp
    remote/RemoteConsole.cpp
    remote/RemoteSettings.cpp
    remote/SignInGuard.cpp
    remote/SocketServer.cpp)
target_include_directories(velmor_shell PUBLIC
    ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/app ${CMAKE_SOURCE_DIR}/res)
target_link_libraries(velmor_shell PUBLIC velmor_framework velmor_automation_types vmserver_demo winmm ws2_32)

add_executable(Velmor WIN32
    app/TheApp.cpp
    automation/EdServerFactory.cpp
    framework/WinMain.cpp
    res/Velmor.rc)
target_link_libraries(Velmor PRIVATE velmor_shell velmor_typelib_resource)
set_target_properties(Velmor PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${VELMOR_DIST_SYSTEM})
set_property(SOURCE res/Velmor.rc APPEND PROPERTY OBJECT_DEPENDS ${CMAKE_SOURCE_DIR}/res/velmor.ico)
add_dependencies(Velmor velmor_tlb)
