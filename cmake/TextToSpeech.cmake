# The toolkit's text-to-speech module, as the target pagelume_speech.
#
# Debian 12's qt6-speech-dev lacks its dependency on qt6-declarative-dev, whose
# QML integration header the module's public header includes and whose CMake
# package the module's package requires. Without that package the module is
# taken from its own library and headers, with a stand-in for the one header
# (its macro only marks the class for QML).
find_path(PAGELUME_QML_INTEGRATION_DIR QtQmlIntegration/qqmlintegration.h
  PATH_SUFFIXES ${CMAKE_LIBRARY_ARCHITECTURE}/qt6 qt6)
add_library(pagelume_speech INTERFACE)
if(PAGELUME_QML_INTEGRATION_DIR)
  find_package(Qt6 REQUIRED COMPONENTS TextToSpeech)
  target_link_libraries(pagelume_speech INTERFACE Qt6::TextToSpeech)
else()
  find_library(PAGELUME_TEXTTOSPEECH_LIBRARY Qt6TextToSpeech REQUIRED)
  find_path(PAGELUME_TEXTTOSPEECH_DIR QtTextToSpeech/qtexttospeech.h
    PATH_SUFFIXES ${CMAKE_LIBRARY_ARCHITECTURE}/qt6 qt6 REQUIRED)
  target_include_directories(pagelume_speech SYSTEM INTERFACE
    ${PAGELUME_TEXTTOSPEECH_DIR} ${PAGELUME_TEXTTOSPEECH_DIR}/QtTextToSpeech
    ${CMAKE_CURRENT_LIST_DIR}/qml-integration)
  target_link_libraries(pagelume_speech INTERFACE ${PAGELUME_TEXTTOSPEECH_LIBRARY} Qt6::Core)
endif()
