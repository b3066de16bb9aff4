# Fails when a computing library includes a store or message-sink header: the computing
# core returns values and statuses, and never reads the project file or talks to the user.
# Applying a model to a stored dataset (model_driver) is the one exception inside models.
set(computing records numeric models)
set(offenders "")
set(count 0)
foreach(subsystem IN LISTS computing)
    file(GLOB_RECURSE sources "${CORE_DIR}/${subsystem}/*.h" "${CORE_DIR}/${subsystem}/*.cpp"
         "${CORE_DIR}/include/tamsel/${subsystem}/*.h")
    list(FILTER sources EXCLUDE REGEX "model_driver\\.(h|cpp)$")
    foreach(source IN LISTS sources)
        math(EXPR count "${count} + 1")
        file(STRINGS "${source}" lines
             REGEX "^[ \t]*#[ \t]*include[ \t]*\"tamsel/(store/|support/messages\\.h)")
        if(lines)
            list(APPEND offenders "${source}")
        endif()
    endforeach()
endforeach()
if(offenders)
    message(FATAL_ERROR "Store or message-sink headers included by computing code: ${offenders}")
endif()
message(STATUS "${count} computing files checked, none includes a store or message-sink header")
