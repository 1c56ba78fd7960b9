// What a view shows where the bus refused or the service is not there: a
// quiet note, never an error page.
import React from "react";
import { EmptyState, EmptyStateBody } from "@patternfly/react-core";
import LockIcon from "@patternfly/react-icons/dist/esm/icons/lock-icon";

import { isAccessDenied, reasonOf } from "../service.js";

export function Unavailable({ what, error }) {
  const denied = isAccessDenied(error);
  return (
    <EmptyState headingLevel="h2" icon={LockIcon} className="hearth-unavailable"
                titleText={`${what} unavailable`}>
      <EmptyStateBody>
        {denied
          ? "Your account may not use this part of the service. Turn on administrative access, or ask to be added to the group \"hearth\"."
          : reasonOf(error)}
      </EmptyStateBody>
    </EmptyState>
  );
}
