-- Drops the product's functions so that they are created afresh.
IF OBJECT_ID('dbo.fn_GetClientName') IS NOT NULL DROP FUNCTION dbo.fn_GetClientName;
IF OBJECT_ID('dbo.fn_JobDurationSeconds') IS NOT NULL DROP FUNCTION dbo.fn_JobDurationSeconds;
GO
