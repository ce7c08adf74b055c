# The about and help dialog's share of omrek_app: the JPEG decoder for its
# emblem, its pages and picture as resources, the version header, and the
# documents its links open, shipped beside the program. The emblem,
# about/emblem.jpg, is drawn by scripts/make-emblem.py.

find_package(JPEG REQUIRED)
target_sources(omrek_app PRIVATE JpegDecoder.cpp)
target_link_libraries(omrek_app PRIVATE JPEG::JPEG)

# The version is set once, in project(); the copyright line once, in LICENSE.
set(OMREK_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
file(STRINGS ${OMREK_LICENSE} OMREK_COPYRIGHT_LINE REGEX "^Copyright " LIMIT_COUNT 1)
if(NOT OMREK_COPYRIGHT_LINE)
  message(FATAL_ERROR "${OMREK_LICENSE} has no line beginning \"Copyright \"")
endif()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${OMREK_LICENSE})
configure_file(Version.h.in ${CMAKE_CURRENT_BINARY_DIR}/generated/app/Version.h @ONLY)
target_include_directories(omrek_app PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/generated)
target_include_directories(omrek PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/generated)

set_source_files_properties(${OMREK_LICENSE} PROPERTIES QT_RESOURCE_ALIAS LICENSE)
qt_add_resources(omrek_app about_pages
  PREFIX /about
  BASE about
  FILES
    about/About.html
    about/DestroyFiles.html
    about/DestroyModes.html
    about/Faq.html
    about/WipeDisk.html
    about/WipeSlack.html
    about/emblem.jpg
    ${OMREK_LICENSE}
)

# The links open these with the desktop's viewer, so they must be real files.
set(OMREK_SHIPPED_DOCUMENTS ${PROJECT_BINARY_DIR}/README.md ${PROJECT_BINARY_DIR}/LICENSE)
add_custom_command(OUTPUT ${OMREK_SHIPPED_DOCUMENTS}
  COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/README.md ${OMREK_LICENSE} ${PROJECT_BINARY_DIR}
  DEPENDS ${PROJECT_SOURCE_DIR}/README.md ${OMREK_LICENSE}
  COMMENT "Shipping README.md and LICENSE beside omrek"
  VERBATIM)
add_custom_target(omrek_documents DEPENDS ${OMREK_SHIPPED_DOCUMENTS})
add_dependencies(omrek omrek_documents)
