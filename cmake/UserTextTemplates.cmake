# Writes the C++ list of the "UserText" texts with placeholders, read from the
# translation file, so that the program can recognise a finished text built
# from one of them. Runs at configure time; the translation file is a configure
# dependency, so a changed catalogue regenerates the list.
function(quillwren_user_text_templates ts_file output)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${ts_file}")
    file(STRINGS "${ts_file}" lines ENCODING UTF-8)
    set(context "")
    set(entries "")
    foreach(line IN LISTS lines)
        if(line MATCHES "<name>([^<]*)</name>")
            set(context "${CMAKE_MATCH_1}")
        elseif(context STREQUAL "UserText" AND line MATCHES "<source>(.*%[0-9].*)</source>")
            set(text "${CMAKE_MATCH_1}")
            string(REPLACE "&lt;" "<" text "${text}")
            string(REPLACE "&gt;" ">" text "${text}")
            string(REPLACE "&quot;" "\"" text "${text}")
            string(REPLACE "&apos;" "'" text "${text}")
            string(REPLACE "&amp;" "&" text "${text}")
            string(APPEND entries "        QString::fromUtf8(R\"qw(${text})qw\"),\n")
        endif()
    endforeach()
    set(content "// Generated from ${ts_file} by cmake/UserTextTemplates.cmake: do not edit.
#include \"UserText.h\"

const QStringList &UserText::templates()
{
    static const QStringList texts{
${entries}    };
    return texts;
}
")
    # Written only when changed, so that a reconfigure does not rebuild the library.
    if(EXISTS "${output}")
        file(READ "${output}" old)
    endif()
    if(NOT old STREQUAL content)
        file(WRITE "${output}" "${content}")
    endif()
endfunction()
