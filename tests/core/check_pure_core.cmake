# Fails when a computing library includes a store, workbench or message-sink header: the
# computing core returns values and statuses, and never reads the project file or talks to the
# user.
set(computing records numeric models recalibration measures prediction)
set(offenders "")
set(count 0)
foreach(subsystem IN LISTS computing)
    file(GLOB_RECURSE sources "${CORE_DIR}/${subsystem}/*.h" "${CORE_DIR}/${subsystem}/*.cpp"
         "${CORE_DIR}/include/tamsel/${subsystem}/*.h")
    foreach(source IN LISTS sources)
        math(EXPR count "${count} + 1")
        file(STRINGS "${source}" lines
             REGEX "^[ \t]*#[ \t]*include[ \t]*\"tamsel/(store/|workbench/|support/messages\\.h)")
        if(lines)
            list(APPEND offenders "${source}")
        endif()
    endforeach()
endforeach()
if(offenders)
    message(FATAL_ERROR
            "Store, workbench or message-sink headers included by computing code: ${offenders}")
endif()
message(STATUS
        "${count} computing files checked, none includes a store, workbench or message-sink header")
