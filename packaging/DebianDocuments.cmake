# What Debian asks of every package's documents: the copyright in its
# machine-readable format, a changelog, both in share/doc/omrek, and the man
# page, the last two compressed without a time stamp so the package builds
# the same every time.
find_program(OMREK_GZIP gzip REQUIRED)
find_program(OMREK_DATE date REQUIRED)

function(omrek_gzip file)
  execute_process(COMMAND ${OMREK_GZIP} -9nf ${file} COMMAND_ERROR_IS_FATAL ANY)
endfunction()

# The licence text follows its copyright line; in the copyright file every
# line of it is indented and a blank line is a lone dot.
file(READ ${PROJECT_SOURCE_DIR}/LICENSE OMREK_LICENSE_TEXT)
string(FIND "${OMREK_LICENSE_TEXT}" "${OMREK_COPYRIGHT_LINE}" copyright_at)
string(LENGTH "${OMREK_COPYRIGHT_LINE}" copyright_length)
math(EXPR terms_at "${copyright_at} + ${copyright_length}")
string(SUBSTRING "${OMREK_LICENSE_TEXT}" ${terms_at} -1 OMREK_LICENSE_TERMS)
string(STRIP "${OMREK_LICENSE_TERMS}" OMREK_LICENSE_TERMS)
string(REPLACE "\n" "\n " OMREK_LICENSE_TERMS " ${OMREK_LICENSE_TERMS}")
string(REGEX REPLACE "\n +\n" "\n .\n" OMREK_LICENSE_TERMS "${OMREK_LICENSE_TERMS}")
configure_file(copyright.in copyright @ONLY)

execute_process(COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C ${OMREK_DATE} -u -d ${OMREK_RELEASE_DATE} -R
                OUTPUT_VARIABLE OMREK_RELEASE_DATE_RFC2822 OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
configure_file(changelog.in changelog @ONLY)
omrek_gzip(${CMAKE_CURRENT_BINARY_DIR}/changelog)
omrek_gzip(${CMAKE_CURRENT_BINARY_DIR}/omrek.1)

set(OMREK_DEBIAN_DOCUMENTS ${CMAKE_CURRENT_BINARY_DIR}/copyright ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz)
