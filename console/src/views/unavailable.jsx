// What a view shows where the bus refused or the service is not there: a
// quiet note, never an error page.
import React from "react";
import { Alert as Notice, EmptyState, EmptyStateBody } from "@patternfly/react-core";
import LockIcon from "@patternfly/react-icons/dist/esm/icons/lock-icon";

import { isAccessDenied, isUnavailable, reasonOf } from "../service.js";

// The service's own words for a refusal ("only root may call ...: why");
// the bus daemon's refusals name its rules, which help nobody here.
function serviceReason(error) {
  const reason = reasonOf(error);
  return /^only root( and members of the group hearth)? may call /.test(reason) ? reason : "";
}

export function Unavailable({ what, error }) {
  const denied = isAccessDenied(error);
  return (
    <EmptyState headingLevel="h2" icon={LockIcon} className="hearth-unavailable"
                titleText={`${what} unavailable`}>
      <EmptyStateBody>
        {denied && serviceReason(error) && <p className="hearth-reason">{serviceReason(error)}</p>}
        {denied && (/^only root may/.test(serviceReason(error))
          ? "Turn on administrative access to use it."
          : "Your account may not use this part of the service. Turn on administrative access, or ask to be added to the group \"hearth\".")}
        {!denied && reasonOf(error)}
      </EmptyStateBody>
    </EmptyState>
  );
}

// A failed call: a refusal of the bus as unavailable, anything else as the
// failure it is, with the service's reason.
export function Failure({ what, title, error }) {
  return isUnavailable(error)
    ? <Unavailable what={what} error={error} />
    : <Notice variant="danger" isInline title={title} className="hearth-failure">{reasonOf(error)}</Notice>;
}
